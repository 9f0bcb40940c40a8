#pragma once
// A player in process on a test workspace, with a captured console, a recording window behind
// scripted key reads and a fake clock.

#include <gtest/gtest.h>

#include <string>

#include "app/options.h"
#include "app/player.h"
#include "input/scripted_window.h"
#include "support/capture_console.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/fake_io.h"
#include "support/fake_process_runner.h"
#include "support/keys.h"
#include "support/workspace.h"

namespace kalvento::test {

class PlayerFixture : public ::testing::Test {
protected:
    PlayerFixture() : workdir_(ws.work()) {}

    // Queues scripted input for the player's key reads (the --input format).
    void script(const std::string& text) {
        std::string error;
        auto events = parseInputScript(text, error);
        ASSERT_TRUE(events.has_value()) << error;
        keys.feed(*events);
    }
    // Scans folder S001 + dirNum and forgets what that printed and drew.
    void load(int dirNum = 0) {
        player.state.contents.DirNum = dirNum;
        player.scan();
        console.clear();
        window.clearLog();
    }
    const std::string& out() const { return console.outText(); }
    // Runs the command of key `code`.
    void press(int code) { pressKey(player, code); }

    Workspace ws;
    ScopedWorkdir workdir_;
    CaptureConsole console;
    RecordingWindow window;
    FakeClock clock;
    ScriptedWindow keys{window, {}, clock, true};
    PosixFileOps files;
    TurboJpegLoader images;
    FakeCamera camera;
    FakeProcessRunner processes;
    Io io{keys, console, files, clock, images, camera, {}, {}, &processes};
    Player player{io, Options{}};
};

}  // namespace kalvento::test
