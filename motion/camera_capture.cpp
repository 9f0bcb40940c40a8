#include "motion/camera_capture.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/banners.h"
#include "core/player_state.h"
#include "core/source_text.h"
#include "ipc/shared_motion.h"
#include "platform/video_devices.h"
#include "settings/camera_config.h"

namespace kalvento {

namespace {

constexpr double kRequestedFps = 60.0;

// Closes a camera that failed. Its last motion leaves this player's slot of the shared block,
// so that neither this player nor any that follows the block keeps moving on a camera that
// is gone; the motion state itself is kept.
void closeAfterFailure(CameraState& camera, Io& io, SharedBlock& block) {
    BlockBytes seen{};
    publishMotion(block, seen, camera.CamChan, 0);
    closeCamera(camera, io, true);
    switch (io.camera.failure()) {
        case CameraFailure::SourceNotFound:
        case CameraFailure::CannotOpen:
        case CameraFailure::OpenTimedOut:
            camera.CameraLost = 2;  // it never opened
            break;
        default:
            camera.CameraLost = 1;
    }
}

// Says on the error stream why the camera gave no frame, when the reason is more than the end
// of its pictures: the device or source that could not be opened, and the devices there are.
void explainNoFrame(const CameraState& camera, Io& io) {
    const std::string source = withoutUserInfo(camera.CameraSource);
    switch (io.camera.failure()) {
        case CameraFailure::SourceNotFound:
            io.console.printErr("camera source not found: %s%s\n", source.c_str(),
                                source.front() == '/' ? "" : " (relative to the working directory)");
            return;
        case CameraFailure::CannotOpen:
        case CameraFailure::OpenTimedOut: {
            const char* how = io.camera.failure() == CameraFailure::CannotOpen
                                  ? "cannot be opened"
                                  : "did not open in time";
            if (!source.empty()) {
                io.console.printErr("camera source %s %s\n", source.c_str(), how);
                return;
            }
            std::string devices = describeVideoDevices(io.camera.devices());
            io.console.printErr("camera %d (%s) %s; capture devices: %s\n", camera.CamChan,
                                videoDevicePath(camera.CamChan).c_str(), how, devices.c_str());
            return;
        }
        case CameraFailure::ReadTimedOut:
            io.console.printErr("the camera gave no frame in time\n");
            return;
        case CameraFailure::None:
        case CameraFailure::NoFrame:
            return;
    }
}

void toGray(const cv::Mat& frame, cv::Mat& gray) {
    if (frame.channels() == 3)
        cv::cvtColor(frame, gray, cv::COLOR_BGR2GRAY);
    else if (frame.channels() == 4)
        cv::cvtColor(frame, gray, cv::COLOR_BGRA2GRAY);
    else
        frame.convertTo(gray, CV_8U);
}

// Brings the frame's mean gray level to that of the frame stored before it, so that the
// whole picture brightening or darkening at once is no difference. The first frame after the
// pair was cleared is kept as it is.
void matchPreviousBrightness(CameraState& camera) {
    uint8_t* previous = camera.CamFramePair.data() + (1 - camera.CamFrameSlot) * kCamFrameBytes;
    const double before = cv::mean(cv::Mat(kCamHeight, kCamWidth, CV_8U, previous))[0];
    const double now = cv::mean(camera.CamGray)[0];
    if (before < 1.0 || now < 1.0) return;
    camera.CamGray.convertTo(camera.CamGray, -1, before / now);
}

struct LockedControl {
    CameraControl control;
    const char* name;
};
constexpr LockedControl kLockedControls[] = {
    {CameraControl::AutoExposure, "automatic exposure"},
    {CameraControl::AutoWhiteBalance, "automatic white balance"},
    {CameraControl::AutoFocus, "automatic focus"},
};

// Turns the camera's automatic controls off; each one the camera refuses is reported once a
// run, and the camera goes on with it.
void lockCamera(CameraState& camera, Io& io) {
    for (size_t i = 0; i < std::size(kLockedControls); ++i) {
        if (io.camera.turnOff(kLockedControls[i].control)) continue;
        const unsigned bit = 1u << i;
        if (camera.CamLockRefused & bit) continue;
        camera.CamLockRefused |= bit;
        io.console.printErr("the camera keeps its %s: it refused to turn it off\n",
                            kLockedControls[i].name);
    }
}

}  // namespace

void fitToCameraSize(const cv::Mat& gray, FrameFit fit, cv::Mat& out) {
    cv::Rect area(0, 0, gray.cols, gray.rows);
    if (fit == FrameFit::Crop) {
        // The largest centred part of the camera's aspect ratio.
        if (int64_t{gray.cols} * kCamHeight > int64_t{gray.rows} * kCamWidth) {
            area.width = std::max(1, gray.rows * kCamWidth / kCamHeight);
            area.x = (gray.cols - area.width) / 2;
        } else {
            area.height = std::max(1, gray.cols * kCamHeight / kCamWidth);
            area.y = (gray.rows - area.height) / 2;
        }
    }
    cv::resize(gray(area), out, cv::Size(kCamWidth, kCamHeight), 0, 0, cv::INTER_AREA);
}

void openCamera(State& state, Io& io, int settleMs) {
    CameraState& camera = state.camera;
    io.console.print("\nNOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\n");
    camera.CamActive = 1;
    camera.CameraLost = 0;
    ReadCameraConfig(state, io.files, io.console);
    io.camera.open(camera.CamChan, camera.CameraSource, camera.CamWidth, camera.CamHeight,
                   kRequestedFps);
    io.window.delay(settleMs);
    if (camera.CamLock == 1) lockCamera(camera, io);
    io.console.print("Done.\n");
    io.console.print("\n");
    printBanner(io.console, Banner::CameraOn);
    io.console.print("\n");
}

void closeCamera(CameraState& camera, Io& io, bool failure) {
    io.console.print("\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\n");
    camera.CamActive = 0;
    camera.CameraLogMode = 2;
    io.camera.release();
    io.window.delay(1000);
    io.console.print(failure ? "Done.\n\n" : "Done.\n");
    io.console.print("\n");
    printBanner(io.console, Banner::CameraOff);
    io.console.print("\n");
}

void releaseCamera(Io& io) {
    io.camera.release();
}

void QBN_Capture(CameraState& camera, Io& io, SharedBlock& block) {
    if (camera.CamActive == 0) return;
    cv::Mat& frame = camera.CamFrame;
    if (!io.camera.read(frame)) {
        io.console.notice( "cvQueryFrame() failed in QBN_Capture().\n");
        explainNoFrame(camera, io);
        closeAfterFailure(camera, io, block);
        return;
    }
    const bool rightSize = frame.cols == kCamWidth && frame.rows == kCamHeight;
    if (!rightSize && camera.CamFit == FrameFit::Refuse) {
        io.console.print("\n\n");
        io.console.printErr("ERROR: The Size of Supposed Input Image does not Match.");
        io.console.printErr("nChannels = %d\n", frame.channels());
        io.console.printErr("depth     = %d (bit)\n", static_cast<int>(frame.elemSize1() * 8));
        io.console.printErr("width     = %d\n", frame.cols);
        io.console.printErr("height    = %d\n", frame.rows);
        io.console.printErr("QBN_F_XMAX    = %d\n", kCamWidth);
        io.console.printErr("QBN_F_YMAX    = %d\n", kCamHeight);
        closeAfterFailure(camera, io, block);
        return;
    }
    toGray(frame, camera.CamGray);
    if (!rightSize) {
        fitToCameraSize(camera.CamGray, camera.CamFit, camera.CamScaled);
        std::swap(camera.CamGray, camera.CamScaled);
    }
    // Flipping the gray picture gives the same pixels as flipping the colour frame first, at a
    // third of the cost.
    if (camera.CamFlipV == 1 && camera.CamFlipH == 1)
        cv::flip(camera.CamGray, camera.CamGray, -1);
    else if (camera.CamFlipV == 1)
        cv::flip(camera.CamGray, camera.CamGray, 0);
    else if (camera.CamFlipH == 1)
        cv::flip(camera.CamGray, camera.CamGray, 1);
    if (camera.CamNormalize == 1) matchPreviousBrightness(camera);
    uint8_t* half = camera.CamFramePair.data() + camera.CamFrameSlot * kCamFrameBytes;
    for (int y = 0; y < kCamHeight; ++y)
        std::memcpy(half + y * kCamWidth, camera.CamGray.ptr<uint8_t>(y), kCamWidth);
    camera.CamFrameSlot = 1 - camera.CamFrameSlot;
}

}  // namespace kalvento
