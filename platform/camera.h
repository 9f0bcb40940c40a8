#pragma once
// The camera: opened by device index, or from a source (video file, image-sequence pattern,
// stream URL) that takes the device's place.

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/video_devices.h"

namespace kalvento {

// Where an open stands. Opening runs off the caller's thread, so a camera that takes long to
// answer never holds up the caller.
enum class CameraStatus { Closed, Opening, Open, Failed };

// Why the last open or read gave nothing.
enum class CameraFailure {
    None,
    SourceNotFound,  // the source is a file path that does not exist
    CannotOpen,      // no back end opened the device or source
    OpenTimedOut,    // the open did not finish within the open time-out
    ReadTimedOut,    // no frame came within the read time-out
    NoFrame,         // the capture ended (end of a video, a camera gone)
};

// The camera's automatic controls that can be turned off.
enum class CameraControl { AutoExposure, AutoWhiteBalance, AutoFocus };

class Camera {
public:
    virtual ~Camera() = default;
    // Starts opening device `index`, or `source` when it is not empty, asking for the given
    // frame size and rate (a request only: the frames may come in another size). Returns at
    // once; false when it is already known that nothing can be opened (the camera is then
    // closed and failure() says why). A camera that is open is released first.
    virtual bool open(int index, const std::string& source, int width, int height, double fps) = 0;
    // Waits for an open in progress to end (at most the open time-out), then grabs and
    // decodes the next frame as 8-bit BGR (at most the read time-out). False (frame emptied)
    // when none came; failure() says why.
    virtual bool read(cv::Mat& frame) = 0;
    virtual void release() = 0;
    virtual bool isOpen() const = 0;
    // Where the open stands, without waiting.
    virtual CameraStatus status() const = 0;
    virtual CameraFailure failure() const = 0;
    // Turns automatic `control` off on the open camera; false when the camera refuses it.
    virtual bool turnOff(CameraControl control) = 0;
    // The video capture devices of this machine.
    virtual std::vector<VideoDevice> devices() const = 0;
};

// How the OpenCV camera treats its sources.
struct CameraSettings {
    // A video file is read at its own frame rate, like the camera it stands for; false reads
    // one frame per read as fast as they are asked for.
    bool paceFiles = true;
    // A video file starts again from its first frame when it ends, as a camera never ends.
    bool loopFiles = false;
    int openTimeoutMs = 10000;
    int readTimeoutMs = 3000;
    // Root of the sysfs tree the capture devices are listed from.
    std::string sysfsRoot = "/sys";
};

// cv::VideoCapture, opened and read on a thread of its own. Owns its capture alone: it can be
// moved but not copied, and a camera moved from may only be destroyed or assigned to. A
// capture that hangs in the back end is abandoned to its thread, which releases it whenever
// the back end returns.
class OpenCvCamera final : public Camera {
public:
    explicit OpenCvCamera(CameraSettings settings = {});
    ~OpenCvCamera() override;
    OpenCvCamera(OpenCvCamera&& other) noexcept;
    OpenCvCamera& operator=(OpenCvCamera&& other) noexcept;
    bool open(int index, const std::string& source, int width, int height, double fps) override;
    bool read(cv::Mat& frame) override;
    void release() override;
    bool isOpen() const override;
    CameraStatus status() const override;
    CameraFailure failure() const override;
    bool turnOff(CameraControl control) override;
    std::vector<VideoDevice> devices() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalvento
