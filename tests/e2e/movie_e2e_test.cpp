// The real player, headless, making movies with the real encoder (Debian's ffmpeg, from PATH
// or as ./ffmpeg in the working directory). The movies are examined with ffprobe and by
// decoding their frames with ffmpeg. Clips are small, so every run takes a few seconds.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";
constexpr const char* kFfprobe = "/usr/bin/ffprobe";

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

class MovieRun : public ::testing::Test {
protected:
    void SetUp() override {
        // The set-up installs them; without them the movie runs cannot be checked at all.
        ASSERT_TRUE(fs::exists(kFfmpeg) && fs::exists(kFfprobe))
            << "needs Debian's ffmpeg package (ffmpeg and ffprobe)";
    }
    RunResult run(const std::string& script, const std::string& input = "") {
        std::vector<std::string> args = {"--input", ws.script(script), "--shm-name",
                                         "kalvento_movie_test_" + std::to_string(::getpid())};
        RunResult result = runPlayer(args, ws.work(), input);
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    // One ffprobe value of the first stream of `type` ("v" or "a") of a movie in the contents
    // root, e.g. "nb_read_frames" (counted by decoding) or "r_frame_rate".
    std::string probeStream(const std::string& movie, const std::string& type,
                            const std::string& entry) {
        RunResult r = runProgram(kFfprobe,
                                 {"-v", "error", "-count_frames", "-select_streams", type + ":0",
                                  "-show_entries", "stream=" + entry, "-of",
                                  "default=noprint_wrappers=1:nokey=1", ws.root() + "/" + movie},
                                 ws.work());
        EXPECT_EQ(r.status, 0) << r.err;
        return trimmed(r.out);
    }
    double probeDuration(const std::string& movie) {
        RunResult r = runProgram(kFfprobe,
                                 {"-v", "error", "-show_entries", "format=duration", "-of",
                                  "default=noprint_wrappers=1:nokey=1", ws.root() + "/" + movie},
                                 ws.work());
        EXPECT_EQ(r.status, 0) << r.err;
        return std::atof(r.out.c_str());
    }
    // The frames of a movie in the contents root, decoded by ffmpeg.
    std::vector<cv::Mat> decodeFrames(const std::string& movie) {
        const std::string folder = ws.root() + "/decoded_" + movie;
        fs::create_directories(folder);
        RunResult r = runProgram(
            kFfmpeg, {"-v", "error", "-i", ws.root() + "/" + movie, folder + "/frame_%03d.png"},
            ws.work());
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<cv::Mat> frames;
        for (int i = 1;; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%03d.png", i);
            if (!fs::exists(folder + name)) break;
            cv::Mat frame = cv::imread(folder + name, cv::IMREAD_COLOR);
            if (frame.empty()) break;
            frames.push_back(frame);
        }
        return frames;
    }
    cv::Mat clipImage(int folderNo, int number) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05d.jpg", number);
        return cv::imread(ws.folder(folderNo) + name, cv::IMREAD_COLOR);
    }
    // The clip of folder S001 (of `count` clips) that `frame` looks most like.
    int nearestClip(const cv::Mat& frame, int count) {
        int best = -1;
        double bestDistance = std::numeric_limits<double>::max();
        for (int n = 0; n < count; ++n) {
            cv::Mat clip = clipImage(1, n);
            if (clip.size() != frame.size()) return -2;
            const double distance = cv::norm(frame, clip, cv::NORM_L1);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = n;
            }
        }
        return best;
    }
    Workspace ws;
};

TEST_F(MovieRun, FolderMoviesAreTheFourFilesWithTheirRates) {
    ws.addClipRange(1, 120, 64, 48);
    RunResult r = run("key E\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "\n----------> EXECUTING: ffmpeg  -y  -framerate 30  -i "
                         "../S001/clip_%05d.jpg  -vcodec libx264  -pix_fmt yuv420p  -crf 0"
                         "  -r 60  ../S001_libx264_yuv420p.mp4\n\n"));
    for (const char* movie :
         {"S001_libx264_yuv420p.mp4", "S001_libx264.mp4", "S001.mp4", "S001.avi"})
        EXPECT_TRUE(fs::exists(ws.root() + "/" + movie)) << movie;
    EXPECT_EQ(probeStream("S001.avi", "v", "nb_read_frames"), "120");
    EXPECT_EQ(probeStream("S001.avi", "v", "codec_name"), "mjpeg");
    EXPECT_EQ(probeStream("S001_libx264_yuv420p.mp4", "v", "r_frame_rate"), "60/1");
    EXPECT_EQ(probeStream("S001_libx264_yuv420p.mp4", "v", "pix_fmt"), "yuv420p");
    EXPECT_EQ(probeStream("S001_libx264.mp4", "v", "r_frame_rate"), "30/1");
    EXPECT_NEAR(probeDuration("S001_libx264_yuv420p.mp4"), 4.0, 0.1) << "120 frames at 30";
    EXPECT_EQ(r.err.find("ERROR:"), std::string::npos) << r.err;
}

TEST_F(MovieRun, RangesMakeNumberedClipsInTheirOrder) {
    ws.addClipRange(1, 20, 160, 120);
    // The encoder in the working directory is the one started.
    fs::create_symlink(kFfmpeg, ws.work() + "/ffmpeg");
    std::string script;
    for (int i = 0; i < 10; ++i) script += "key x\n";
    script += "key {\n";
    for (int i = 0; i < 6; ++i) script += "key z\n";
    script += "key }\nidle 7\n";  // one key poll per copied frame
    script += "key {\nkey x\nkey x\nkey }\nidle 3\n";
    RunResult r = run(script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "\n----------> EXECUTING: ./ffmpeg  -y  -framerate 30  "
                         "-start_number 0  -i ../temp_for_mp4/clip_%05d.jpg  -vframes 7"));
    EXPECT_TRUE(contains(r.out, "AUTO-SET: Video clip's name = [ vclip_00001.mp4 ]"));

    EXPECT_EQ(probeStream("vclip_00000.mp4", "v", "nb_read_frames"), "7");
    EXPECT_EQ(probeStream("vclip_00000.avi", "v", "nb_read_frames"), "7");
    std::vector<cv::Mat> frames = decodeFrames("vclip_00000.mp4");
    ASSERT_EQ(frames.size(), 7u);
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(nearestClip(frames[i], 20), 10 - static_cast<int>(i)) << "frame " << i;
    cv::Mat first = clipImage(1, 10);
    EXPECT_LT(cv::norm(frames[0], first, cv::NORM_L1) / static_cast<double>(first.total() * 3), 8.0)
        << "the first frame is clip 10";

    EXPECT_EQ(probeStream("vclip_00001.mp4", "v", "nb_read_frames"), "3");
    EXPECT_TRUE(fs::exists(ws.root() + "/vclip_00001.avi"));
    std::vector<cv::Mat> second = decodeFrames("vclip_00001.avi");
    ASSERT_EQ(second.size(), 3u);
    for (size_t i = 0; i < second.size(); ++i)
        EXPECT_EQ(nearestClip(second[i], 20), 4 + static_cast<int>(i)) << "frame " << i;
    EXPECT_FALSE(fs::exists(ws.root() + "/vclip_00002.mp4"));
    // The work folder keeps the frames of the last clip.
    EXPECT_TRUE(fs::exists(ws.root() + "/temp_for_mp4/clip_00002.jpg"));
    EXPECT_FALSE(fs::exists(ws.root() + "/temp_for_mp4/clip_00003.jpg"));
}

TEST_F(MovieRun, SoundMovieLastsTheGivenTimeWithATrickySoundFileName) {
    ws.addClipRange(1, 3, 64, 48);
    std::vector<int> slots(120);
    for (int i = 0; i < 120; ++i) slots[static_cast<size_t>(i)] = i;
    ASSERT_TRUE(demo::writeClips(ws.root(), slots, cv::Size(64, 48), 7, 80));
    const std::string soundName = "my song; 'it' \"x\" $(y).wav";
    RunResult tone =
        runProgram(kFfmpeg,
                   {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=3", "-y",
                    ws.root() + "/" + soundName},
                   ws.work());
    ASSERT_EQ(tone.status, 0) << tone.err;

    RunResult r = run("key Y\n", soundName + "\n1\n0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "AUTO-SET: FF_vframes      = [   120 ]\n\n"));
    EXPECT_TRUE(contains(r.out,
                         "\n----------> EXECUTING: ffmpeg  -y  -r 2.000000  -start_number 0"
                         "  -i ../clip_%05d.jpg  -i ../" +
                             soundName + "  -vframes 120  -t 60  -vcodec libx264"));
    for (const char* movie : {"HomeSoundMovie_libx264_yuv420p.mp4", "HomeSoundMovie_libx264.mp4",
                              "HomeSoundMovie.mp4", "HomeSoundMovie.avi"})
        EXPECT_TRUE(fs::exists(ws.root() + "/" + movie)) << movie;
    EXPECT_NEAR(probeDuration("HomeSoundMovie_libx264_yuv420p.mp4"), 60.0, 0.6);
    EXPECT_EQ(probeStream("HomeSoundMovie_libx264_yuv420p.mp4", "v", "nb_read_frames"), "120");
    EXPECT_EQ(probeStream("HomeSoundMovie_libx264_yuv420p.mp4", "a", "codec_type"), "audio")
        << "the sound file reached the encoder";
    EXPECT_EQ(r.err.find("ERROR:"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kalvento::test
