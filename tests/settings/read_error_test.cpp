// A settings or data file that fails to read part-way is reported and changes nothing: the
// values read before stay as they were.

#include <gtest/gtest.h>

#include "contents/frame_data_file.h"
#include "core/player_state.h"
#include "settings/camera_config.h"
#include "settings/folder_config.h"
#include "settings/parameter_file.h"
#include "settings/threshold_file.h"
#include "support/capture_console.h"
#include "support/failing_read_file_ops.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

TEST(FileReadError, ReadingStopsAtTheErrorInsteadOfTakingItForTheEnd) {
    // Reading this file fails at once with EIO although it opens as a regular file.
    PosixFileOps files;
    ASSERT_TRUE(files.isReadableFile("/proc/self/mem"));
    EXPECT_FALSE(files.readFile("/proc/self/mem", 4096).has_value());
}

class ReadErrorTest : public ::testing::Test {
protected:
    ReadErrorTest() : workdir_(ws.work()) {}

    // Writes `text` to `name` in the working directory and makes every read of it fail.
    void brokenFile(const std::string& name, const std::string& text) {
        writeFile(ws.work() + "/" + name, text);
        files.failing.insert(name);
    }
    void expectReported(const std::string& name) {
        EXPECT_EQ(console.errText(),
                  "ERROR: Could not read [ " + name + " ] to its end; nothing of it was used.\n");
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    FailingReadFileOps files;
    CaptureConsole console;
    State state;
};

TEST_F(ReadErrorTest, CameraConfigurationKeepsTheCameraSettings) {
    brokenFile("SetCamera3.txt", "1 1 7 9 1\n");
    state.camera.CamChan = 2;
    state.playback.CamOnMemory = 30;
    ReadCameraConfig(state, files, console);
    EXPECT_EQ(state.camera.CamFlipV, 0);
    EXPECT_EQ(state.camera.CamChan, 2);
    EXPECT_EQ(state.playback.CamOnMemory, 30);
    EXPECT_EQ(console.outText(), "");
    expectReported("SetCamera3.txt");
}

TEST_F(ReadErrorTest, FolderParameterFileKeepsTheSettingsAndIsNotReplacedByTheGlobalOne) {
    State saved;
    saved.camera.PixelStep = 9;
    writeFile(ws.work() + "/qbn_env.dat", parameterText(saved));
    brokenFile("qbn_env0001.dat", parameterText(saved));
    state.camera.PixelStep = 4;
    ReadParameterFile(state, files, console);
    EXPECT_EQ(state.camera.PixelStep, 4);
    expectReported("qbn_env0001.dat");

    // Once the folder file is gone, the global file is read.
    std::remove((ws.work() + "/qbn_env0001.dat").c_str());
    console.clear();
    ReadParameterFile(state, files, console);
    EXPECT_EQ(state.camera.PixelStep, 9);
    EXPECT_EQ(console.errText(), "");
}

TEST_F(ReadErrorTest, ThresholdKeepsItsValue) {
    brokenFile("QBN_THRESHOLD.dat", "500");
    int threshold = 1234;
    EXPECT_FALSE(readThresholdFile(files, threshold));
    EXPECT_EQ(threshold, 1234);
}

TEST_F(ReadErrorTest, FrameDataFileLeavesTheClipTableToTheClipFiles) {
    std::vector<FrameData> table(kMaxClips);
    int maxCount = 0;
    writeFrameDataFile("frame_data0001.dat", table, 5, files);
    files.failing.insert("frame_data0001.dat");
    table[0].Loaded = 1;
    maxCount = 77;
    EXPECT_FALSE(readFrameDataFile("frame_data0001.dat", table, maxCount, files, console));
    EXPECT_EQ(maxCount, 77);
    EXPECT_EQ(table[0].Loaded, 1);
    expectReported("frame_data0001.dat");
}

TEST_F(ReadErrorTest, FolderConfigurationKeepsTheKeyFrames) {
    writeFile(ws.folder(1) + "/tcz_config.dat", std::string(92000, '\1'));
    files.failing.insert("../S001/tcz_config.dat");
    KeyFrameState keyFrames;
    keyFrames.KeyFrameNumber[0] = 12.0;
    importFolderConfigVerbose(0, keyFrames, files, console);
    importFolderConfigSilently(0, keyFrames, files);
    EXPECT_EQ(keyFrames.KeyFrameNumber[0], 12.0);
    EXPECT_EQ(keyFrames.PivotHistory[0], 0);
    expectReported("../S001/tcz_config.dat");
}

}  // namespace
}  // namespace kalvento::test
