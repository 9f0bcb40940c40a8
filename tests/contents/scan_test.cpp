// The contents scan in process: clip tables, folder fallback, frame data files (including
// hostile ones), the check file and the window rebuilt to the first clip.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/exit.h"
#include "core/state.h"
#include "contents/scan.h"
#include "support/fake_io.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

class ScanTest : public ::testing::Test {
protected:
    ScanTest() : workdir_(ws.work()) {}

    std::string clipPathOf(int record) const {
        return std::string(fieldText(state.contents.FrameData[record].ClipPath));
    }
    const std::string& out() const { return fake.console.outText(); }
    // A frame data file: `records` paths followed by `tail`.
    void writeFrameData(int folderNo, const std::vector<std::string>& paths,
                        const std::string& tail) {
        std::string table(sizeof(FrameData) * kMaxClips, '\0');
        for (size_t i = 0; i < paths.size(); ++i)
            table.replace(sizeof(FrameData) * i + 4, paths[i].size(), paths[i]);
        char name[32];
        std::snprintf(name, sizeof name, "/frame_data%04d.dat", folderNo);
        writeFile(ws.work() + name, table + tail);
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
    State state;
    ClipCache cache{state.contents};
};

TEST_F(ScanTest, ClosesGapsBetweenClipNumbers) {
    ws.addClips(1, {0, 2, 5});
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.MaxCount, 3);
    EXPECT_EQ(clipPathOf(0), "../S001/clip_00000.jpg");
    EXPECT_EQ(clipPathOf(1), "../S001/clip_00002.jpg");
    EXPECT_EQ(clipPathOf(2), "../S001/clip_00005.jpg");
    EXPECT_EQ(clipPathOf(3), "");
}

TEST_F(ScanTest, EmptyFoldersFallBackToLowerNumbers) {
    ws.addClipRange(3, 2);
    fs::create_directories(ws.folder(4));
    state.contents.DirNum = 4;  // S005, missing altogether
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.DirNum, 2);
    EXPECT_EQ(state.contents.MaxCount, 2);
    EXPECT_EQ(out(),
              "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n"
              "---> Empty folder is specified!\n"
              "---> Empty folder is specified!\n"
              "\n---> Created a file[ check_result.txt ] in the contents folder.\n"
              "\n*** Finished. Thank you for waiting! ***\n\n\n");
}

TEST_F(ScanTest, NegativeFolderIndexStartsAgainAtTheFirstFolder) {
    ws.addClipRange(1, 1);
    state.contents.DirNum = -1;
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.DirNum, 0);
    EXPECT_EQ(state.contents.MaxCount, 1);
}

TEST_F(ScanTest, NoClipAnywhereWaitsForAKeyAndEnds) {
    ws.addClipRange(2, 3);  // a higher folder does not count
    try {
        scanContents(state, cache, fake.io);
        FAIL() << "the scan must end the player";
    } catch (const PlayerExit& exit) {
        EXPECT_EQ(exit.status, 1);
        EXPECT_TRUE(exit.shutDown);
    }
    EXPECT_NE(out().find("---> ERROR: No image file exists! Bye!\n"), std::string::npos);
    EXPECT_EQ(fake.window.keyWaits(), 1);
}

TEST_F(ScanTest, SizesTheOneWindowToTheFirstClipWithoutWaits) {
    ws.addClipRange(1, 2, 80, 60);
    fake.io.createWindow(WindowMode::Normal);
    fake.io.mouse = MouseHook{[](int, int, int, int, void*) {}, this};
    fake.window.setMouseCallback(fake.io.mouse.callback, fake.io.mouse.user);
    fake.window.clearLog();
    scanContents(state, cache, fake.io);
    // Neither destroyed nor made again, and no wait that would drop keys.
    EXPECT_EQ(fake.window.log(), (std::vector<std::string>{"size 80x60", "show 80x60"}));
    EXPECT_TRUE(fake.window.isOpen());
    EXPECT_EQ(fake.window.callbackUser(), this);
    EXPECT_EQ(state.contents.FrameData[0].Loaded, 1);
    EXPECT_EQ(state.contents.FrameImage[0].size(), cv::Size(80, 60));
}

TEST_F(ScanTest, ResetsPositionKeyFramesAndImageCache) {
    ws.addClipRange(1, 3);
    state.playback.frame_no = 2.0;
    state.playback.ReplayDirection = 0;
    state.playback.PlayEngine = 0;
    state.playback.VR_step = 6.0;
    state.playback.PendingKey = 'x';
    state.keyFrames.KeyFrameNumber[7] = 12.0;
    state.keyFrames.KeyFrameIndex = 7;
    state.contents.FrameImage[2] = cv::Mat(4, 4, CV_8UC3);
    state.contents.FrameData[2].Loaded = 1;
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.playback.frame_no, 0.0);
    EXPECT_EQ(state.playback.ReplayDirection, 1);
    EXPECT_EQ(state.playback.PlayEngine, 1);
    EXPECT_EQ(state.playback.VR_step, 1.0);
    EXPECT_EQ(state.playback.PendingKey, 0);
    EXPECT_EQ(state.playback.LastShownFrame, -1.0);
    EXPECT_EQ(state.keyFrames.KeyFrameNumber[7], 0.0);
    EXPECT_EQ(state.keyFrames.KeyFrameIndex, 0);
    EXPECT_TRUE(state.contents.FrameImage[2].empty());
    EXPECT_EQ(state.contents.FrameData[2].Loaded, 0);
}

TEST_F(ScanTest, UnreadableFirstClipLeavesTheWindowAlone) {
    writeFile(ws.folder(1) + "/clip_00000.jpg", "garbage");
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.MaxCount, 1);
    EXPECT_EQ(state.contents.FrameData[0].Loaded, 0);
    EXPECT_TRUE(fake.window.log().empty());
}

TEST_F(ScanTest, ImportsTheFolderConfigurationSilently) {
    ws.addClipRange(1, 2);
    std::vector<int32_t> pivots(23000, 0);
    pivots[0] = 5;
    pivots[1] = -5;
    pivots[1279] = 99;
    pivots[1280] = 1234;  // beyond the key frames
    std::string bytes(reinterpret_cast<const char*>(pivots.data()), pivots.size() * 4);
    writeFile(ws.folder(1) + "/tcz_config.dat", bytes + " 42\n");
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.keyFrames.KeyFrameNumber[0], 5.0);
    EXPECT_EQ(state.keyFrames.KeyFrameNumber[1], -5.0);
    EXPECT_EQ(state.keyFrames.KeyFrameNumber[1279], 99.0);
    EXPECT_EQ(state.keyFrames.ConfigTail, 42);
    EXPECT_EQ(out().find("PivotHistory"), std::string::npos);
}

TEST_F(ScanTest, FrameDataFileReplacesProbingAndKeepsItsTexts) {
    ws.addClipRange(1, 4);
    std::string table(sizeof(FrameData) * kMaxClips, '\0');
    writeFrameData(1, {"../S001/clip_00003.jpg", "..\\S001\\clip_00001.jpg"}, "2\r\n");
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.MaxCount, 2);
    EXPECT_EQ(clipPathOf(0), "../S001/clip_00003.jpg");
    EXPECT_EQ(clipPathOf(1), "..\\S001\\clip_00001.jpg");
    EXPECT_EQ(state.contents.FrameData[0].Loaded, 1) << "clip 0 is shown";
    EXPECT_NE(out().find("  (Number of files = [ 2 ],  Name of the top file = "
                         "[ ../S001/clip_00003.jpg ]) \n"),
              std::string::npos);
}

TEST_F(ScanTest, HostileFrameDataFilesCountAsEmptyFolders) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 2);
    const std::vector<std::string> tails = {"",      "22001\n", "-1\n", "99999999999999999999\n",
                                            "abc\n", "   \n"};
    for (const std::string& tail : tails) {
        SCOPED_TRACE("count line [" + tail + "]");
        writeFrameData(2, {"../S002/clip_00000.jpg"}, tail);
        state.contents.DirNum = 1;
        fake.console.clear();
        scanContents(state, cache, fake.io);
        EXPECT_EQ(state.contents.DirNum, 0) << "falls back to S001";
        EXPECT_EQ(state.contents.MaxCount, 3);
    }
}

TEST_F(ScanTest, ShortFrameDataFileCountsAsEmptyFolder) {
    ws.addClipRange(1, 3);
    writeFile(ws.work() + "/frame_data0002.dat", std::string(1000, 'x'));
    state.contents.DirNum = 1;
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.DirNum, 0);
    EXPECT_NE(out().find("Number of files = [ 0 ]"), std::string::npos);
}

TEST_F(ScanTest, UnterminatedPathsAreReadWithinTheirField) {
    std::string table(sizeof(FrameData) * kMaxClips, 'A');
    writeFile(ws.work() + "/frame_data0001.dat", table + "22000\n");
    scanContents(state, cache, fake.io);
    EXPECT_EQ(state.contents.MaxCount, 22000);
    EXPECT_EQ(clipPathOf(21999), std::string(250, 'A'));
    EXPECT_NE(out().find("Name of the top file = [ " + std::string(250, 'A') + " ]"),
              std::string::npos);
    EXPECT_EQ(state.contents.FrameData[0].Loaded, 0);
}

}  // namespace
}  // namespace kalvento::test
