// The command line: its echo, the stored words and the import of named images into S001.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "support/capture_console.h"
#include "support/fake_io.h"
#include "support/racing_file_ops.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

TEST(CommandLine, EchoesStoresAndCountsTheWords) {
    CaptureConsole console;
    CommandLineState commandLine;
    ASSERT_TRUE(storeCommandLine({"./kalvento", "my clip.jpg", "b.jpg"}, commandLine, console));
    EXPECT_EQ(console.outText(),
              "./kalvento \"my clip.jpg\" b.jpg\n"
              "[0]./kalvento\n[1]my clip.jpg\n[2]b.jpg\n"
              "\nTotal length of file name strings = 26\n\n");
    EXPECT_EQ(commandLine.ArgCount, 3);
    EXPECT_EQ(commandLine.ArgText[1], "my clip.jpg");
}

TEST(CommandLine, LongWordsAreCutWithoutSplittingACharacter) {
    CaptureConsole console;
    CommandLineState commandLine;
    std::string ascii(6000, 'a');
    // 4998 ASCII bytes and then a three-byte character that does not fit in 4999 bytes.
    std::string japanese = std::string(4998, 'b') + "映像";
    ASSERT_TRUE(storeCommandLine({"p", ascii, japanese}, commandLine, console));
    EXPECT_EQ(commandLine.ArgText[1], std::string(4999, 'a'));
    EXPECT_EQ(commandLine.ArgText[2], std::string(4998, 'b'));
    EXPECT_NE(console.outText().find("Total length of file name strings = 9998\n"),
              std::string::npos);
}

TEST(CommandLine, MoreWordsThanTheTableAreRefused) {
    CaptureConsole console;
    CommandLineState commandLine;
    std::vector<std::string> words(22001, "w");
    EXPECT_FALSE(storeCommandLine(words, commandLine, console));
    EXPECT_EQ(commandLine.ArgCount, 0);
    EXPECT_TRUE(commandLine.ArgText.empty());
    EXPECT_TRUE(console.outText().empty());
    EXPECT_NE(console.errText().find("22001"), std::string::npos);
    words.pop_back();
    EXPECT_TRUE(storeCommandLine(words, commandLine, console));
    EXPECT_EQ(commandLine.ArgCount, 22000);
}

TEST(ImageImport, AClipCreatedMeanwhileIsNeverOverwritten) {
    Workspace ws;
    ScopedWorkdir workdir(ws.work());
    ws.addClips(1, {0});
    writeFile("a.jpg", "image a");
    FakeIo fake;
    RacingFileOps files(1, "the other player's clip");
    Io io{fake.window, fake.console, files, fake.clock, fake.images, fake.camera, {}, {}};
    CommandLineState commandLine;
    ASSERT_TRUE(storeCommandLine({"kalvento", "a.jpg"}, commandLine, fake.console));
    fake.console.clear();
    importCommandLineImages(commandLine, io);
    EXPECT_EQ(fake.console.outText(),
              "EXECUTING: copy \"a.jpg\" ../S001/clip_00001.jpg\n"
              "EXECUTING: copy \"a.jpg\" ../S001/clip_00002.jpg\n");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00001.jpg"), "the other player's clip");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00002.jpg"), "image a");
}

TEST(ImageImport, SortsByBytesAndKeepsTheProgramFirst) {
    Workspace ws;
    ScopedWorkdir workdir(ws.work());
    std::filesystem::create_directories(ws.folder(1));
    for (const char* name : {"B.jpg", "a.jpg", "é.jpg", "_.jpg"}) writeFile(name, name);
    FakeIo fake;
    CommandLineState commandLine;
    ASSERT_TRUE(
        storeCommandLine({"zz", "é.jpg", "a.jpg", "_.jpg", "B.jpg"}, commandLine, fake.console));
    importCommandLineImages(commandLine, fake.io);
    EXPECT_EQ(commandLine.ArgText,
              (std::vector<std::string>{"zz", "B.jpg", "_.jpg", "a.jpg", "é.jpg"}));
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00000.jpg"), "B.jpg");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00003.jpg"), "é.jpg");
}

}  // namespace
}  // namespace kalvento::test
