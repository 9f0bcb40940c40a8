// The OpenCV camera owns its capture alone: it moves, it never copies (a copy would release
// one capture twice). It opens on a thread of its own, says why it gives no frame, and reads a
// video file at the file's own frame rate unless told otherwise.

#include <gtest/gtest.h>

#include <chrono>
#include <type_traits>
#include <utility>

#include "platform/camera.h"
#include "support/temp_dir.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

static_assert(!std::is_copy_constructible_v<OpenCvCamera>);
static_assert(!std::is_copy_assignable_v<OpenCvCamera>);
static_assert(std::is_nothrow_move_constructible_v<OpenCvCamera>);
static_assert(std::is_nothrow_move_assignable_v<OpenCvCamera>);

TEST(OpenCvCamera, MovedCameraKeepsWorking) {
    OpenCvCamera first;
    OpenCvCamera second(std::move(first));
    EXPECT_FALSE(second.isOpen());
    cv::Mat frame(2, 2, CV_8UC3);
    EXPECT_FALSE(second.read(frame));
    EXPECT_TRUE(frame.empty());
    OpenCvCamera third;
    third = std::move(second);
    EXPECT_FALSE(third.isOpen());
    EXPECT_EQ(third.status(), CameraStatus::Closed);
}

TEST(OpenCvCamera, AMissingSourceFileIsNotOpenedAtAll) {
    OpenCvCamera camera;
    EXPECT_FALSE(camera.open(0, "no-such-video.avi", 320, 240, 60));
    EXPECT_EQ(camera.status(), CameraStatus::Failed);
    EXPECT_EQ(camera.failure(), CameraFailure::SourceNotFound);
    cv::Mat frame;
    EXPECT_FALSE(camera.read(frame));
}

TEST(OpenCvCamera, AFileThatIsNoVideoCannotBeOpened) {
    ScopedTempDir dir;
    writeFile(dir / "notes.avi", "not a video");
    OpenCvCamera camera;
    EXPECT_TRUE(camera.open(0, dir / "notes.avi", 320, 240, 60)) << "opening has started";
    cv::Mat frame;
    EXPECT_FALSE(camera.read(frame));
    EXPECT_EQ(camera.failure(), CameraFailure::CannotOpen);
    EXPECT_EQ(camera.status(), CameraStatus::Failed);
}

// Reads every frame of a 20-frame video at 20 frames/s; the seconds it took.
double secondsToReadAll(OpenCvCamera& camera, const std::string& video, int& frames) {
    EXPECT_TRUE(camera.open(0, video, 320, 240, 60));
    auto start = std::chrono::steady_clock::now();
    cv::Mat frame;
    frames = 0;
    while (camera.read(frame)) {
        EXPECT_EQ(frame.size(), cv::Size(320, 240));
        ++frames;
    }
    EXPECT_EQ(camera.failure(), CameraFailure::NoFrame) << "the end of the video";
    camera.release();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(OpenCvCamera, AVideoFilePlaysAtItsOwnRateUnlessUnpaced) {
    ScopedTempDir dir;
    const std::string video = dir / "camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 20.0, 10, 10, 1));
    OpenCvCamera paced;
    int frames = 0;
    double pacedSeconds = secondsToReadAll(paced, video, frames);
    EXPECT_GE(pacedSeconds, 0.9) << "20 frames at 20 frames/s";
    EXPECT_GE(frames, 10) << "late frames may be skipped, not most of them";
    CameraSettings settings;
    settings.paceFiles = false;
    OpenCvCamera unpaced(settings);
    double unpacedSeconds = secondsToReadAll(unpaced, video, frames);
    EXPECT_EQ(frames, 20);
    EXPECT_LT(unpacedSeconds, pacedSeconds);
}

TEST(OpenCvCamera, ALoopingVideoStartsAgainAtItsEnd) {
    ScopedTempDir dir;
    const std::string video = dir / "camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 20.0, 10, 10, 1));
    CameraSettings settings;
    settings.paceFiles = false;
    settings.loopFiles = true;
    OpenCvCamera camera(settings);
    ASSERT_TRUE(camera.open(0, video, 320, 240, 60));
    cv::Mat frame, first;
    for (int n = 0; n < 21; ++n) {
        ASSERT_TRUE(camera.read(frame)) << "frame " << n << " of a 20-frame video";
        if (n == 0) frame.copyTo(first);
    }
    EXPECT_EQ(cv::norm(frame, first, cv::NORM_INF), 0) << "frame 21 is the first again";
}

}  // namespace
}  // namespace kalvento::test
