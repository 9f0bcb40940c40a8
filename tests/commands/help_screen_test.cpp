// The function list: every line with the current values, the licence notice and the camera
// banner that closes it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/help_screen.h"
#include "display/display_model.h"
#include "core/player_state.h"
#include "support/capture_console.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

const std::string kRule(" " + std::string(88, '-') + "\n");
const std::string kDoubleRule(" " + std::string(88, '=') + "\n");

const std::string kCameraOnBanner =
    "      OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   \n"
    "     O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   \n"
    "     O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O     O   O  O  O   \n"
    "     O   O  O   O  O  O  O  O     O  O   O   O    OO    O     O   O    OO   \n"
    "      OOO   O   O  O     O  OOOO  O   O  O   O           OOOOO    O     O   \n";
const std::string kCameraOffBanner =
    "      OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO    OOOOO  OOOOO \n"
    "     O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     \n"
    "     O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O    O   OOOO   OOOO  \n"
    "     O   O  O   O  O  O  O  O     O  O   O   O    OO    O    O   O      O     \n"
    "      OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     \n";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

size_t countOf(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class HelpScreen : public ::testing::Test {
protected:
    // Shows the list once and returns what it printed.
    std::string show() {
        console.clear();
        printHelpScreen(state, console);
        return console.outText();
    }

    // The one printed line that begins with `start`; fails the test when there is not exactly one.
    std::string lineStartingWith(const std::string& start) {
        std::vector<std::string> found;
        for (const std::string& line : splitLines(console.outText()))
            if (line.rfind(start, 0) == 0) found.push_back(line);
        EXPECT_EQ(found.size(), 1u) << "lines beginning with [" << start << "]";
        return found.empty() ? std::string() : found.front();
    }

    State state;
    CaptureConsole console;
};

TEST_F(HelpScreen, StartValuesGiveTheReferenceTranscript) {
    const std::string golden = readFile(std::string(KALVENTO_SOURCE_DIR) +
                                        "/tests/commands/golden/help_screen_default.txt");
    ASSERT_FALSE(golden.empty()) << "reference transcript missing";
    EXPECT_EQ(show(), golden);
    EXPECT_EQ(console.errText(), "");
}

TEST_F(HelpScreen, LicenceNoticeOpensTheListBetweenRuleLines) {
    const std::string out = show();
    const std::string opening = "\n" + kRule + kVisionLibraryLicence + kRule;
    EXPECT_EQ(out.compare(0, opening.size(), opening), 0) << out.substr(0, opening.size());
    const std::string licence = kVisionLibraryLicence;
    EXPECT_NE(licence.find("Apache License, Version 2.0"), std::string::npos);
    EXPECT_NE(licence.find("OpenCV Foundation"), std::string::npos);
}

TEST_F(HelpScreen, FolderLinesShowTheCurrentFolderZeroFilled) {
    state.contents.DirNum = 41;
    const std::string out = show();
    for (const char* key : {"     [ p ]", "     [ P ]", "     [ n ]", "     [ N ]"})
        EXPECT_NE(lineStartingWith(key).find("（現在 S042 ）。"), std::string::npos) << key;
    EXPECT_NE(lineStartingWith("    *[ E ]").find("（ S042 ）にある"), std::string::npos);
    EXPECT_NE(lineStartingWith("    *[ U ]").find("（ S042 ）にある"), std::string::npos);
    EXPECT_EQ(countOf(out, "S042"), 6u);
    // S001 stays only in the fixed lines of R and of the digit keys.
    EXPECT_EQ(countOf(out, "S001"), 2u);
}

TEST_F(HelpScreen, FolderNameWidths) {
    const struct {
        int dirNum;
        const char* shown;
    } cases[] = {{0, "S001"},  {8, "S009"},   {98, "S099"},
                 {99, "S100"}, {998, "S999"}, {999, "S1000"}};
    for (const auto& c : cases) {
        state.contents.DirNum = c.dirNum;
        show();
        EXPECT_EQ(lineStartingWith("     [ n ]"),
                  std::string("     [ n ]     １つ後のコンテンツフォルダに移動します（現在 ") +
                      c.shown + " ）。")
            << "DirNum " << c.dirNum;
    }
}

TEST_F(HelpScreen, QuickAccessModeNamesTheMiddleButtonMode) {
    state.mouse.QuickAccessMode = 0;
    show();
    EXPECT_EQ(
        lineStartingWith("     [中ボタン]"),
        "     [中ボタン] 押すと、クイックアクセスのモードを切替えます（現在 [動き反映型] ）。");
    state.mouse.QuickAccessMode = 1;
    show();
    EXPECT_EQ(
        lineStartingWith("     [中ボタン]"),
        "     [中ボタン] 押すと、クイックアクセスのモードを切替えます（現在 [位置反映型] ）。");
}

TEST_F(HelpScreen, CameraStateChoosesTheClosingBanner) {
    const std::string prompt = "S002:(00123)> ";
    state.playback.PromptText = prompt;

    state.camera.CamActive = 1;
    std::string out = show();
    EXPECT_TRUE(
        endsWith(out, "\n" + kDoubleRule + kCameraOnBanner + kDoubleRule + "\n" + prompt + "\n"));
    EXPECT_EQ(countOf(out, kCameraOffBanner), 0u);

    state.camera.CamActive = 0;
    out = show();
    EXPECT_TRUE(
        endsWith(out, "\n" + kDoubleRule + kCameraOffBanner + kDoubleRule + "\n" + prompt + "\n"));
    EXPECT_EQ(countOf(out, kCameraOnBanner), 0u);
}

TEST_F(HelpScreen, ThresholdMarginHasFiveCharactersAndTwoDecimals) {
    const struct {
        double margin;
        const char* shown;
    } cases[] = {{1.05, " 1.05"}, {0.0, " 0.00"}, {1.5, " 1.50"}, {10.25, "10.25"}};
    for (const auto& c : cases) {
        state.camera.ThresholdMargin = c.margin;
        show();
        EXPECT_EQ(lineStartingWith("    *[ h, H ]"),
                  std::string("    *[ h, H ]  動きしきい値の余裕率（現在 ") + c.shown +
                      " ）を増減させます。");
    }
}

TEST_F(HelpScreen, ShowsTheCurrentSettings) {
    state.camera.CamChan = 7;
    state.camera.QBN_threshold = 9000;
    state.playback.CamOnMemory = 250;
    state.selection.AutoJumpFlag = 1;
    state.selection.RFJ_parameter = 35;
    state.movie.MovieFrameRate = 12;
    state.playback.WalkerMode = 1;
    state.mouse.MouseVertFlag = 1;
    state.mouse.MouseReverseFlag = 1;
    show();

    EXPECT_EQ(lineStartingWith("     [ q ]"),
              "     [ q ]　   Webカメラ（カメラID = 7 ）をオンオフできます。");
    EXPECT_EQ(lineStartingWith("    *[ d, D ]"),
              "    *[ d, D ]  カメラ入力のID番号（現在 7 ）を変更できます。");
    EXPECT_EQ(lineStartingWith("     [ v, V ]"),
              "     [ v, V ]  動きしきい値（現在 9000 ）を増減させることができます。");
    EXPECT_EQ(lineStartingWith("    *[ g ]"),
              "    *[ g ]     動きしきい値（現在 9000 ）を自動設定します。");
    EXPECT_EQ(lineStartingWith("    *[ <, > ]"),
              "    *[ <, > ]  オンメモリフレーム数（現在 250 枚）を変更できます。");
    EXPECT_EQ(
        lineStartingWith("    *[ @ ]"),
        "    *[ @ ]　   コンテンツフォルダのランダム選択機能をオンオフできます（現在 オン ）。");
    EXPECT_EQ(
        lineStartingWith("    *[ [, ] ]"),
        "    *[ [, ] ]  コンテンツフォルダのランダム選択までのモーション回数（現在 35 ）を調整");
    EXPECT_EQ(lineStartingWith("    *[ f ]"),
              "    *[ f ]     出力する動画のフレームレート（現在 12 [fps]）を低くします。");
    EXPECT_EQ(lineStartingWith("    *[ F ]"),
              "    *[ F ]     出力する動画のフレームレート（現在 12 [fps]）を高くします。");
    EXPECT_EQ(lineStartingWith("               （現在"),
              "               （現在 順方向再生オン ）。");
    EXPECT_EQ(lineStartingWith("    *[ M ]"),
              "    *[ M ]     マウス等の入力時の [縦横モード] を切替えます（現在 縦モード ）。");
    EXPECT_EQ(
        lineStartingWith("    *[ m ]"),
        "    *[ m ]     マウス等の入力時の逆方向再生モードをオンオフできます（現在 オン ）。");
}

TEST_F(HelpScreen, TheEnglishPageSaysEveryValueInEnglish) {
    for (int on : {0, 1}) {
        state.playback.WalkerMode = on;
        state.mouse.MouseVertFlag = on;
        state.mouse.MouseReverseFlag = on;
        state.mouse.QuickAccessMode = on;
        state.selection.AutoJumpFlag = on;
        std::string page;
        for (const std::string& line : helpPages(state).english) {
            EXPECT_FALSE(holdsJapanese(line)) << line;
            page += line + "\n";
        }
        for (const char* value : on ? std::vector<const char*>{"walker mode, now on (forward only)",
                                                               "mouse axis, now vertical",
                                                               "mouse reverse, now on",
                                                               "random folder selection on / off, now on"}
                                    : std::vector<const char*>{"walker mode, now off",
                                                               "mouse axis, now horizontal",
                                                               "mouse reverse, now off",
                                                               "random folder selection on / off, now off"})
            EXPECT_NE(page.find(value), std::string::npos) << value << " in\n" << page;
    }
}

TEST_F(HelpScreen, RestartsTheRandomSelectionList) {
    state.selection.ContentsListReady = 1;
    show();
    EXPECT_EQ(state.selection.ContentsListReady, 0);
}

}  // namespace
}  // namespace kalvento::test
