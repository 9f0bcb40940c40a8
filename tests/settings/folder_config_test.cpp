// The per-folder configuration file and the key frames it brings.

#include <gtest/gtest.h>

#include "settings/folder_config.h"
#include "support/fake_io.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

std::string pivotBytes(const std::vector<int32_t>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * 4);
}

TEST(FolderConfig, VerboseImportEchoesTheFileAndPositiveKeyFrames) {
    Workspace ws;
    ScopedWorkdir workdir(ws.work());
    std::vector<int32_t> pivots(23000, 0);
    pivots[0] = 150;
    pivots[3] = -5;
    pivots[10] = 7;
    pivots[1279] = 900;
    writeFile(ws.folder(42) + "/tcz_config.dat", pivotBytes(pivots) + "\n17\n");
    FakeIo fake;
    KeyFrameState keyFrames;
    keyFrames.KeyFrameNumber[5] = 33.0;
    importFolderConfigVerbose(41, keyFrames, fake.files, fake.console);
    std::string expected =
        "\nFound a file [ tcz_config.dat ] in the Contents Folder...\n"
        "\nNow, Importing [ ../S042/tcz_config.dat ]\n\n";
    for (int i = 0; i <= 10; ++i)
        expected += strf("PivotHistory[ %6d ] = [ %6d ]\n", i, pivots[static_cast<size_t>(i)]);
    expected +=
        "\n（変数設定： KeyFrameNumber[ 0 ] = 150.000000）\n"
        "（変数設定： KeyFrameNumber[ 10 ] = 7.000000）\n"
        "（変数設定： KeyFrameNumber[ 1279 ] = 900.000000）\n"
        "\nThat is all.\nFinished Importing [ ../S042/tcz_config.dat ]\n";
    EXPECT_EQ(fake.console.outText(), expected);
    EXPECT_EQ(keyFrames.KeyFrameNumber[3], -5.0);
    EXPECT_EQ(keyFrames.KeyFrameNumber[5], 0.0);
    EXPECT_EQ(keyFrames.ConfigTail, 17);
}

TEST(FolderConfig, ShortFileFillsFromSlotZeroAndKeepsTheRest) {
    Workspace ws;
    ScopedWorkdir workdir(ws.work());
    // Two whole integers and half of a third.
    std::string bytes = pivotBytes({11, 22, 0x01010101}).substr(0, 10);
    writeFile(ws.folder(1) + "/tcz_config.dat", bytes);
    FakeIo fake;
    KeyFrameState keyFrames;
    keyFrames.PivotHistory[3] = 44;
    keyFrames.ConfigTail = 9;
    importFolderConfigSilently(0, keyFrames, fake.files);
    EXPECT_EQ(keyFrames.KeyFrameNumber[0], 11.0);
    EXPECT_EQ(keyFrames.KeyFrameNumber[1], 22.0);
    EXPECT_EQ(keyFrames.KeyFrameNumber[2], 257.0) << "the half slot keeps its high bytes";
    EXPECT_EQ(keyFrames.KeyFrameNumber[3], 44.0);
    EXPECT_EQ(keyFrames.ConfigTail, 9);
    EXPECT_TRUE(fake.console.outText().empty());
}

TEST(FolderConfig, MissingFileChangesNothing) {
    Workspace ws;
    ScopedWorkdir workdir(ws.work());
    FakeIo fake;
    KeyFrameState keyFrames;
    keyFrames.KeyFrameNumber[0] = 3.0;
    importFolderConfigVerbose(0, keyFrames, fake.files, fake.console);
    importFolderConfigSilently(0, keyFrames, fake.files);
    EXPECT_EQ(keyFrames.KeyFrameNumber[0], 3.0);
    EXPECT_TRUE(fake.console.outText().empty());
}

}  // namespace
}  // namespace kalvento::test
