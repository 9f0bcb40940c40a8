// End-to-end: --import makes new contents folders from a folder of pictures of any names, a
// PNG and a video; too many pictures are refused before anything is written; files named on
// the command line are taken from where the player was started, into an S001 made for them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 64x48 picture of one grey level, written in the format its extension names.
void writePicture(const std::string& path, int level) {
    cv::Mat picture(48, 64, CV_8UC3, cv::Scalar(level, level, level));
    ASSERT_TRUE(cv::imwrite(path, picture)) << path;
}

int clipCount(const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.path().filename().string().rfind("clip_", 0) == 0;
    return n;
}

RunResult runImport(const std::vector<std::string>& args, const Workspace& ws) {
    std::vector<std::string> all{"-C", "work"};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(playerBinary(), all, ws.root());
}

TEST(ImportRun, PicturesOfAnyNamesAPngAndAVideoBecomeNewFolders) {
    Workspace ws;
    fs::create_directories(ws.root() + "/frames");
    for (int i = 1; i <= 12; ++i)
        writePicture(ws.root() + "/frames/frame_" + std::to_string(i) + ".jpg", 10 * i);
    std::ofstream(ws.root() + "/frames/frame_5b.jpg") << "not a picture";
    RunResult folder = runImport({"--import", "frames"}, ws);
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_TRUE(contains(folder.out, "Imported 12 clips into " + ws.folder(1) + "\n"));
    EXPECT_TRUE(contains(folder.err, "skipped " + ws.root() + "/frames/frame_5b.jpg:"));
    // Natural order: frame_10 after frame_9, copied as it is.
    EXPECT_EQ(bytesOf(ws.folder(1) + "/clip_00009.jpg"),
              bytesOf(ws.root() + "/frames/frame_10.jpg"));
    EXPECT_EQ(clipCount(ws.folder(1)), 12);

    writePicture(ws.root() + "/still.png", 200);
    RunResult png = runImport({"--import", "still.png"}, ws);
    EXPECT_EQ(png.status, 0) << png.err;
    cv::Mat clip = cv::imread(ws.folder(2) + "/clip_00000.jpg");
    ASSERT_FALSE(clip.empty()) << "the PNG became a JPEG clip";
    EXPECT_EQ(clip.size(), cv::Size(64, 48));
    EXPECT_NEAR(clip.at<cv::Vec3b>(10, 10)[0], 200, 3);

    RunResult make =
        runProgram("/usr/bin/ffmpeg",
                   {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc=size=64x48:rate=10", "-frames:v", "17", ws.root() + "/walk.avi"},
                   ws.root());
    ASSERT_EQ(make.status, 0) << make.err;
    RunResult video = runPlayer(
        {"-C", "work", "--import-to", "7", "--import-and-play", "--import", "walk.avi"}, ws.root());
    EXPECT_EQ(video.status, 0) << video.err;
    EXPECT_NEAR(clipCount(ws.folder(7)), 17, 1);
    EXPECT_TRUE(contains(video.out, "（現在 S007 ）")) << "the player plays the folder it made";
    EXPECT_EQ(clipCount(ws.folder(1)), 12) << "nothing else was touched";
}

TEST(ImportRun, MorePicturesThanAFolderHoldsAreRefusedBeforeAnythingIsWritten) {
    Workspace ws;
    fs::create_directories(ws.root() + "/many");
    for (int i = 0; i <= 22000; ++i)
        std::ofstream(ws.root() + "/many/p" + std::to_string(i) + ".jpg");
    RunResult run = runImport({"--import", "many"}, ws);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "22001 pictures are more than the 22000 clips a folder can hold"))
        << run.err;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(ws.root()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"many", "work"}));
}

TEST(CommandLineRun, FilesAreTakenFromWhereThePlayerStartedIntoAnS001MadeForThem) {
    Workspace ws;
    writePicture(ws.root() + "/a.jpg", 90);
    RunResult run = runPlayer({"-C", "work", "a.jpg", "gone.jpg"}, ws.root());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "---> Created the contents folder " + ws.folder(1) + "\n"));
    EXPECT_EQ(bytesOf(ws.folder(1) + "/clip_00000.jpg"), bytesOf(ws.root() + "/a.jpg"));
    EXPECT_TRUE(contains(
        run.err, "ERROR: Could not copy [ gone.jpg ]: " + ws.root() + "/gone.jpg does not exist\n"))
        << run.err;
}

}  // namespace
}  // namespace kalvento::test
