// The parameter-file keys in process: + writes both files, ; reads them back, each with its
// exact console lines and no title line.

#include <gtest/gtest.h>

#include <string>

#include "commands/command.h"
#include "commands/dispatch.h"
#include "settings/parameter_file.h"
#include "support/player_fixture.h"

namespace kalvento::test {
namespace {

const std::string kPrompt = "S002:(00004)> ";

class ParameterKeysTest : public PlayerFixture {
protected:
    void SetUp() override {
        ws.addClipRange(2, 4);
        load(1);
        player.beginTurn();
        ASSERT_EQ(player.state.playback.PromptText, kPrompt);
    }
    // Types `key` and runs one key stage; returns what it printed.
    std::string typed(const std::string& key) {
        console.clear();
        script("key " + key + "\n");
        dispatchTurnKey(player);
        return out();
    }
};

TEST(ParameterKeyRows, PlusAndSemicolonHaveCommandsWithoutTitles) {
    for (int code : {'+', ';'}) {
        const KeyCommand* row = findKeyCommand(code);
        ASSERT_NE(row, nullptr) << static_cast<char>(code);
        EXPECT_EQ(row->title, nullptr);
    }
}

TEST_F(ParameterKeysTest, PlusWritesBothFilesWithItsLines) {
    player.state.playback.MotionDisplayMode = 1;  // a title line would show now
    player.state.playback.frame_no = 2.5;
    player.state.keyFrames.KeyFrameNumber[4] = 3.0;
    EXPECT_EQ(typed("+"), kPrompt + "\n" + kPrompt +
                              "キー入力[ + ]→ qbn_env.datファイル を作成しました。\n"
                              "Finished Writing QBN Parameters to File : qbn_env.dat\n"
                              "Finished Writing QBN Parameters to File : qbn_env0002.dat\n");
    std::string text = readFile(ws.work() + "/qbn_env.dat");
    EXPECT_EQ(text, parameterText(player.state));
    EXPECT_EQ(readFile(ws.work() + "/qbn_env0002.dat"), text);
    EXPECT_NE(text.find("\n2.500000\n"), std::string::npos);
}

TEST_F(ParameterKeysTest, SemicolonReadsTheFolderFileBackWithItsLines) {
    player.state.playback.frame_no = 3.0;
    player.state.mouse.MouseVertFlag = 1;
    player.state.playback.flip_mode = 2;
    typed("+");
    player.state.playback.frame_no = 0.0;
    player.state.mouse.MouseVertFlag = 0;
    player.state.playback.flip_mode = 0;
    player.state.playback.MotionDisplayMode = -1;
    EXPECT_EQ(typed(";"), kPrompt + "\n" + kPrompt +
                              "キー入力[ ; ]→ qbn_env.datファイル を読出しました。\n"
                              "\nLOADING Additional Parameters...\n\n"
                              "SET(1): StartFrameNum = 0\n"
                              "SET(1): EndFrameNum   = 0\n"
                              "SET(1): MouseReverseFlag = 0\n"
                              "SET(1): MouseVertFlag    = 1\n"
                              "SET(1): flip_mode = 2\n"
                              "Finished Reading QBN Parameters from File : qbn_env0002.dat\n");
    EXPECT_EQ(player.state.playback.frame_no, 3.0);
    EXPECT_EQ(player.state.mouse.MouseVertFlag, 1);
    EXPECT_EQ(player.state.playback.flip_mode, 2);
    EXPECT_EQ(player.state.playback.MotionDisplayMode, 0) << "as it was when written";
}

}  // namespace
}  // namespace kalvento::test
