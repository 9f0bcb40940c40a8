// The import's ffmpeg command for a video, and Ctrl+C in the middle.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <opencv2/imgcodecs.hpp>

#include "contents/import.h"
#include "support/capture_console.h"
#include "support/fake_process_runner.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

struct ImportFixture {
    Workspace ws;
    PosixFileOps files;
    FakeProcessRunner processes;
    TurboJpegLoader images;
    OpenCvJpegWriter jpeg;
    CaptureConsole console;
    ImportTools tools{files, processes, images, jpeg, console, nullptr};
    std::string oldDirectory = fs::current_path();
    ImportFixture() { fs::current_path(ws.work()); }
    ~ImportFixture() { fs::current_path(oldDirectory); }
};

TEST(Import, AVideoIsReadByFfmpegIntoTheHiddenFolderEveryFrame) {
    ImportFixture f;
    std::ofstream(f.ws.root() + "/walk.mp4") << "video";
    ImportResult result = importContents({{f.ws.root() + "/walk.mp4"}, 4}, f.tools);
    ASSERT_EQ(f.processes.ran.size(), 1u);
    EXPECT_EQ(f.processes.ran[0], (std::vector<std::string>{
                                      "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
                                      "-stats", "-i", f.ws.root() + "/walk.mp4", "-map", "0:v:0",
                                      "-fps_mode", "passthrough", "-frames:v", "22001", "-q:v", "2",
                                      "-start_number", "0", "../.S004.import/clip_%05d.jpg"}));
    // The fake made no frame: the video is named and skipped, and nothing is left.
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(f.console.errText().find("skipped " + f.ws.root() + "/walk.mp4"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.ws.root() + "/.S004.import"));
    EXPECT_FALSE(fs::exists(f.ws.folder(4)));
}

TEST(Import, CtrlCInTheMiddleLeavesNothingBehind) {
    ImportFixture f;
    fs::create_directories(f.ws.root() + "/in");
    for (int i = 0; i < 3; ++i)
        cv::imwrite(f.ws.root() + "/in/" + std::to_string(i) + ".png", cv::Mat(8, 8, CV_8UC3));
    int asked = 0;
    f.tools.interrupted = [&asked] { return ++asked == 2; };
    ImportResult result = importContents({{f.ws.root() + "/in"}, 0}, f.tools);
    EXPECT_EQ(result.status, 130);
    EXPECT_NE(f.console.errText().find("interrupted; nothing was imported"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.ws.root() + "/.S001.import"));
    EXPECT_FALSE(fs::exists(f.ws.folder(1)));
}

}  // namespace
}  // namespace kalvento::test
