// The input script's road to the command table: a headless player runs a script of commands by
// name, with values, between keys, and every one takes effect as its key or value says; a
// refused one says why and changes nothing.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/player_state.h"
#include "settings/parameter_file.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

// One script line and a console line it must lead to.
struct ScriptCue {
    const char* line;
    const char* says;
};

TEST(ScriptCommandsE2E, EveryCommandOfTheScriptTakesEffectInItsOrder) {
    Workspace ws;
    ws.addClipRange(1, 10);
    ws.addClipRange(2, 30);
    // The status line of every turn (display mode 1 from the parameter file) shows where the
    // clip stands.
    State start;
    start.playback.MotionDisplayMode = 1;
    std::ofstream(ws.work() + "/qbn_env.dat") << parameterText(start);
    const ScriptCue cues[] = {
        {"idle 1", "[S1] [    0 /    9]"},
        {"command folder 2", "* Changed Contents Folder to [ S002 ]"},
        {"command clip 17", "[S2] [   17 /   29]"},
        {"command step-forward", "[S2] [   18 /   29]"},
        {"command key z", "[S2] [   17 /   29]"},
        {"command jump-50", "[S2] [   14 /   29]"},
        {"command first-clip", "[S2] [    0 /   29]"},
        {"command folder 0", "（コマンド folder：[ 0 ] は使えません。1 .. 10000）"},
        {"command clip 30", "（コマンド clip：[ 30 ] は使えません。0 .. 29）"},
        {"command camera maybe", "（コマンド camera：[ maybe ] は使えません。on | off）"},
        {"command no-such-thing", "（コマンド [ no-such-thing ] はありません。）"},
        {"command folder", "（コマンド folder の引数：[ N ]）"},
        // The threshold's line ends the status lines, as the threshold keys do.
        {"command threshold 5000", "QBN_threshold = [   5000 ] (script)"},
        {"command follow on", "GestureFollow = [ 1 ]"},
        {"command pause", " OOOO    OOO   O   O   OOOO  OOOOO  O \n"},
        {"command resume", "  OOO            O \n"},
    };
    std::string script;
    for (const ScriptCue& cue : cues) script += std::string(cue.line) + "\nidle 3\n";
    const RunResult r = runPlayer({"--input", ws.script(script)}, ws.work());
    ASSERT_EQ(r.status, 0) << r.err;
    size_t at = 0;
    for (const ScriptCue& cue : cues) {
        const size_t found = r.out.find(cue.says, at);
        EXPECT_NE(found, std::string::npos) << cue.line << " (after byte " << at << ")";
        if (found != std::string::npos) at = found;
    }
    std::ifstream threshold(ws.work() + "/QBN_THRESHOLD.dat");
    std::stringstream text;
    text << threshold.rdbuf();
    EXPECT_EQ(text.str(), "5000");
}

}  // namespace
}  // namespace kalvento::test
