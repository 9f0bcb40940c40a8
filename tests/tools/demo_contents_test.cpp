// Generated demo contents: the clip files, the camera video and the key-allocation picture.

#include "tools/demo_contents.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "support/temp_dir.h"

namespace kalvento {
namespace {

namespace fs = std::filesystem;

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Pixels whose gray value differs by more than `threshold`.
int changedPixels(const cv::Mat& a, const cv::Mat& b, int threshold) {
    cv::Mat grayA, grayB, diff;
    cv::cvtColor(a, grayA, cv::COLOR_BGR2GRAY);
    cv::cvtColor(b, grayB, cv::COLOR_BGR2GRAY);
    cv::absdiff(grayA, grayB, diff);
    return cv::countNonZero(diff > threshold);
}

// Pixels where any colour channel differs by more than `threshold`.
int changedColourPixels(const cv::Mat& a, const cv::Mat& b, int threshold) {
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    std::vector<cv::Mat> channels;
    cv::split(diff, channels);
    const cv::Mat largest = cv::max(cv::max(channels[0], channels[1]), channels[2]);
    return cv::countNonZero(largest > threshold);
}

TEST(DemoContents, WriteClipsWritesExactlyTheNamedNumbers) {
    test::ScopedTempDir dir;
    const std::string folder = dir / "root/S002";  // parents are created too
    const std::vector<int> numbers = {0, 1, 2, 5, 9, 10, 137};
    ASSERT_TRUE(demo::writeClips(folder, numbers, cv::Size(160, 120), 2, 85));
    EXPECT_EQ(filesIn(folder),
              (std::set<std::string>{"clip_00000.jpg", "clip_00001.jpg", "clip_00002.jpg",
                                     "clip_00005.jpg", "clip_00009.jpg", "clip_00010.jpg",
                                     "clip_00137.jpg"}));
    for (const int n : numbers) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05d.jpg", n);
        const cv::Mat clip = cv::imread(folder + name);
        ASSERT_FALSE(clip.empty()) << name;
        EXPECT_EQ(clip.size(), cv::Size(160, 120)) << name;
    }
}

TEST(DemoContents, WriteFolderWritesClipsFromZero) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(demo::writeFolder(dir / "S001", 4, cv::Size(64, 48), 1));
    EXPECT_EQ(filesIn(dir / "S001"), (std::set<std::string>{"clip_00000.jpg", "clip_00001.jpg",
                                                            "clip_00002.jpg", "clip_00003.jpg"}));
}

TEST(DemoContents, WriteClipsFailsWhereNoFolderCanBeMade) {
    test::ScopedTempDir dir;
    test::writeFile(dir / "plain_file", "x");
    EXPECT_FALSE(demo::writeClips(dir / "plain_file/S001", {0, 1}, cv::Size(64, 48), 1));
}

TEST(DemoContents, ClipsOfDifferentIndexesDiffer) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(demo::writeClips(dir / "S001", {10, 11, 200}, cv::Size(320, 240), 1));
    const cv::Mat a = cv::imread(dir / "S001/clip_00010.jpg");
    const cv::Mat b = cv::imread(dir / "S001/clip_00011.jpg");
    const cv::Mat c = cv::imread(dir / "S001/clip_00200.jpg");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    ASSERT_FALSE(c.empty());
    EXPECT_GT(changedPixels(a, b, 40), 200);  // neighbours: the number and the figure move
    EXPECT_GT(changedPixels(a, c, 40), 2000);
}

TEST(DemoContents, DrawingIsRepeatableAndDiffersPerFolder) {
    const cv::Size size(320, 240);
    const cv::Mat first = demo::drawClip(1, 42, 300, size);
    EXPECT_EQ(first.size(), size);
    EXPECT_EQ(first.type(), CV_8UC3);
    EXPECT_EQ(cv::norm(first, demo::drawClip(1, 42, 300, size), cv::NORM_INF), 0.0);
    for (int folder = 2; folder <= 6; ++folder) {
        const cv::Mat other = demo::drawClip(folder, 42, 300, size);
        // Another colour scheme: most of the picture changes, not only the folder number.
        EXPECT_GT(changedColourPixels(first, other, 20), size.area() / 2) << "folder " << folder;
    }
}

TEST(DemoContents, CameraVideoMovesThenStandsStill) {
    test::ScopedTempDir dir;
    const std::string path = dir / "camera/cam.avi";
    const int moving = 6, still = 5, cycles = 3;
    ASSERT_TRUE(demo::writeCameraVideo(path, cv::Size(320, 240), 15.0, moving, still, cycles));

    cv::VideoCapture capture(path);
    ASSERT_TRUE(capture.isOpened());
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_WIDTH), 320.0);
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_HEIGHT), 240.0);
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_COUNT), double((moving + still) * cycles));

    std::vector<cv::Mat> frames;
    for (cv::Mat frame; capture.read(frame);) frames.push_back(frame.clone());
    ASSERT_EQ(frames.size(), static_cast<std::size_t>((moving + still) * cycles));
    for (std::size_t t = 1; t < frames.size(); ++t) {
        ASSERT_EQ(frames[t].size(), cv::Size(320, 240));
        const int changed = changedPixels(frames[t - 1], frames[t], 30);
        const bool isMoving = static_cast<int>(t) % (moving + still) < moving;
        if (isMoving) {
            EXPECT_GT(changed, 300) << "frame " << t << " should show the figure moving";
        } else {
            EXPECT_GT(changed, 0) << "frame " << t << " should flicker a little";
            EXPECT_LT(changed, 100) << "frame " << t << " should show no motion";
            cv::Rect flicker(320 - 16, 0, 16, 16);
            cv::Mat rest = cv::abs(frames[t - 1] - frames[t]);
            rest(flicker).setTo(0);
            EXPECT_LE(cv::norm(rest, cv::NORM_INF), 2.0)
                << "frame " << t << " should be the previous one outside the flicker";
        }
    }
}

// The learning video read frame by frame as the player's motion images see it (a gray level
// changing by more than 40): it moves only in the four learned motions, and before each
// stands still for at least the 84 frames a learning run takes from its start to Go! when the
// video is read at its own pace (countdown, quiet phase, one more step).
TEST(DemoContents, LearningVideoMovesOnlyInTheLearnedMotions) {
    test::ScopedTempDir dir;
    const std::string path = dir / "learning.avi";
    const std::vector<demo::GesturePart> parts = demo::learningGestureParts();
    ASSERT_TRUE(demo::writeGestureVideo(path, cv::Size(320, 240), demo::kLearningFps,
                                        demo::kLearningStillBefore, parts));
    std::vector<bool> moves(static_cast<size_t>(demo::kLearningStillBefore), false);
    for (const demo::GesturePart& part : parts) {
        moves.insert(moves.end(), static_cast<size_t>(part.frames), !part.fade);
        moves.insert(moves.end(), static_cast<size_t>(part.stillAfter), false);
    }

    cv::VideoCapture capture(path);
    std::vector<cv::Mat> frames;
    for (cv::Mat frame; capture.read(frame);) frames.push_back(frame.clone());
    ASSERT_EQ(frames.size(), moves.size());
    int stillRun = 0, motions = 0;
    for (size_t t = 1; t < frames.size(); ++t) {
        const bool changed = changedPixels(frames[t - 1], frames[t], 40) > 0;
        EXPECT_EQ(changed, static_cast<bool>(moves[t])) << "frame " << t;
        if (changed && stillRun > 0) {
            ++motions;
            EXPECT_GE(stillRun, 84) << "stillness before motion " << motions;
        }
        stillRun = changed ? 0 : stillRun + 1;
    }
    EXPECT_EQ(motions, 4);
}

TEST(DemoContents, CameraVideoRefusesNonsense) {
    test::ScopedTempDir dir;
    EXPECT_FALSE(demo::writeCameraVideo(dir / "a.avi", cv::Size(320, 240), 15.0, 0, 0, 1));
    EXPECT_FALSE(demo::writeCameraVideo(dir / "b.avi", cv::Size(320, 240), 0.0, 5, 5, 1));
    EXPECT_FALSE(demo::writeCameraVideo(dir / "c.avi", cv::Size(320, 240), 15.0, 5, 5, 0));
    EXPECT_FALSE(fs::exists(dir / "a.avi"));
}

TEST(DemoContents, KeyAllocationPictureIsAReadableJpeg) {
    test::ScopedTempDir dir;
    const std::string path = dir / "work/keyallocation_01.jpg";
    ASSERT_TRUE(demo::writeKeyAllocationPicture(path));
    std::vector<unsigned char> head(3);
    {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fread(head.data(), 1, 3, f), 3u);
        std::fclose(f);
    }
    EXPECT_EQ(head, (std::vector<unsigned char>{0xFF, 0xD8, 0xFF}));
    const cv::Mat picture = cv::imread(path);
    ASSERT_EQ(picture.size(), cv::Size(800, 600));
    cv::Mat gray;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
    // Light text on a dark background: plenty of both.
    EXPECT_GT(cv::countNonZero(gray > 180), 5000);
    EXPECT_GT(cv::countNonZero(gray < 60), 200000);
}

}  // namespace
}  // namespace kalvento
