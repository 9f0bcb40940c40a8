// The pause (ESC), the window rebuild (BS) and the keys without an action, in process. The
// keys typed during the pause come from a script in front of a recording window.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "ipc/shared_motion.h"
#include "input/input_script.h"
#include "input/scripted_window.h"
#include "support/capture_console.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/fake_io.h"
#include "support/fake_osc_port.h"
#include "support/keys.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

const std::string kPauseBanner =
    "\n\n OOOO    OOO   O   O   OOOO  OOOOO  O \n"
    " O   O  O   O  O   O  O      O      O \n"
    " OOOO   OOOOO  O   O   OOO   OOOO   O \n"
    " O      O   O  O   O      O  O        \n"
    " O      O   O   OOO   OOOO   OOOOO  O \n\n";
const std::string kGoBanner =
    "\n  OOO            O \n"
    " O       OOOO    O \n"
    " O OOOO O    O   O \n"
    " O   O  O    O     \n"
    "  OOO    OOOO    O \n\n";

std::vector<ScriptEvent> parsed(const std::string& script) {
    std::string error;
    auto events = parseInputScript(script, error);
    if (!events) ADD_FAILURE() << "bad script: " << error;
    return events ? *events : std::vector<ScriptEvent>{};
}

// Keys from a script; once it is used up every key read answers ESC, so a pause that missed
// its ENTER quits instead of waiting for ever.
struct ScriptedIo {
    explicit ScriptedIo(const std::string& script) : window(inner, parsed(script), clock, true) {}
    CaptureConsole console;
    RecordingWindow inner;
    PosixFileOps files;
    FakeClock clock;
    TurboJpegLoader images;
    FakeCamera camera;
    ScriptedWindow window;
    Io io{window, console, files, clock, images, camera, {}, {}};
};

// ---- ESC ----

class PauseTest : public ::testing::Test {
protected:
    PauseTest() : workdir_(ws.work()) {}

    // A player whose key reads come from `script`.
    Player& playerWith(const std::string& script) {
        io_ = std::make_unique<ScriptedIo>(script);
        player_ = std::make_unique<Player>(io_->io, Options{});
        player_->state.contents.MaxCount = 3;
        return *player_;
    }
    void pressEsc() {
        const KeyCommand* row = findKeyCommand(kKeyEsc);
        ASSERT_NE(row, nullptr);
        row->run(*player_, *row);
    }
    const std::string& out() const { return io_->console.outText(); }

    Workspace ws;
    ScopedWorkdir workdir_;
    std::unique_ptr<ScriptedIo> io_;
    std::unique_ptr<Player> player_;
};

TEST_F(PauseTest, EnterResumes) {
    Player& player = playerWith("key ENTER\n");
    player.state.playback.PendingKey = 'x';
    player.state.playback.LastShownFrame = 2.0;
    pressEsc();
    EXPECT_FALSE(player.quitRequested);
    EXPECT_EQ(out(), kPauseBanner + kGoBanner);
    EXPECT_TRUE(io_->window.scriptDone());
    EXPECT_EQ(player.state.playback.PendingKey, 0);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
}

TEST_F(PauseTest, SecondEscQuits) {
    Player& player = playerWith("key ESC\nkey ENTER\n");
    EXPECT_FALSE(player.quitRequested);
    pressEsc();
    EXPECT_TRUE(player.quitRequested) << "a quit is the pause's result, not an exception";
    EXPECT_EQ(out(), kPauseBanner);
    // The ENTER after the ESC is never read.
    EXPECT_FALSE(io_->window.scriptDone());
}

TEST_F(PauseTest, OtherKeysAreIgnored) {
    Player& player = playerWith(
        "key a\nkey x\nkey SPACE\nkey TAB\nkey BS\nkey 1\nkey code 0\nkey code 200\n"
        "idle 3\nkey ENTER\n");
    player.state.playback.frame_no = 1.0;
    const int autoReplay = player.state.playback.AutoReplayFlag;
    pressEsc();
    EXPECT_EQ(out(), kPauseBanner + kGoBanner);
    EXPECT_TRUE(io_->window.scriptDone());
    EXPECT_EQ(player.state.playback.frame_no, 1.0);
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.mouse.MouseInputFlag, 1);
    EXPECT_EQ(player.state.playback.REPLAY_SPEED, 3);
    EXPECT_EQ(player.state.playback.AutoReplayFlag, autoReplay);
}

TEST_F(PauseTest, ClearsTheSlotsThePlayerFilledAndTakesRemoteKeysAsTyped) {
    FakeOscPort port;
    io_ = std::make_unique<ScriptedIo>("idle 5\n");
    io_->io.osc = &port;
    Options options;
    options.oscKeys.add(kKeyEsc);
    player_ = std::make_unique<Player>(io_->io, options);
    Player& player = *player_;
    player.sharedBlock = std::make_unique<MemorySharedBlock>();
    auto motion = [](int camera, int amount) {
        return OscDatagram{OscDatagram::Message,
                           {"/kalvento/motion",
                            {OscValue::Int(camera), OscValue::Int(amount), OscValue::Int(0),
                             OscValue::Int(0)}}};
    };
    auto key = [](int code) {
        return OscDatagram{OscDatagram::Message, {"/kalvento/key", {OscValue::Int(code)}}};
    };
    // A remote camera's motion came in; this player's camera published its own; another
    // player's slot holds a value too.
    port.incoming.push_back(motion(5, 900));
    player.serviceStep("pause");
    EXPECT_TRUE(player.inputs.empty());
    player.state.camera.CamActive = 1;
    player.state.camera.CamChan = 3;
    publishMotion(*player.sharedBlock, player.state.SI, 3, 400);
    publishMotion(*player.sharedBlock, player.state.SI, 9, 77);

    // In the pause: x (taken and ignored, as typed), then ESC quits.
    port.incoming.push_back(key('x'));
    port.incoming.push_back(key(kKeyEsc));
    pressEsc();
    EXPECT_TRUE(player.quitRequested);
    EXPECT_NE(out().find(kPauseBanner), std::string::npos);
    EXPECT_FALSE(io_->window.scriptDone()) << "ESC came over OSC, not from the script";
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
    BlockBytes seen{};
    readSharedMotion(*player.sharedBlock, seen);
    EXPECT_EQ(webCamOf(seen, 5), 0);
    EXPECT_EQ(webCamOf(seen, 3), 0);
    EXPECT_EQ(webCamOf(seen, 9), 77);
    EXPECT_EQ(diffSumOf(seen), 77);
}

TEST_F(PauseTest, ShowsTheKeyAllocationPictureWhenThereIsOne) {
    Player& player = playerWith("key ENTER\nkey ENTER\n");
    pressEsc();
    EXPECT_TRUE(io_->inner.log().empty());

    player.state.KeyAllocationImage = cv::Mat(30, 40, CV_8UC3, cv::Scalar(9, 9, 9));
    pressEsc();
    EXPECT_EQ(io_->inner.log(), std::vector<std::string>{"show 40x30"});
    EXPECT_EQ(out(), kPauseBanner + kGoBanner + kPauseBanner + kGoBanner);
}

TEST_F(PauseTest, ReleasesTheImageCache) {
    Player& player = playerWith("key ENTER\n");
    ContentsState& contents = player.state.contents;
    for (int n = 0; n < 3; ++n) {
        contents.FrameImage[n] = cv::Mat(4, 4, CV_8UC3, cv::Scalar(n, n, n));
        contents.FrameData[n].Loaded = 1;
    }
    pressEsc();
    for (int n = 0; n < 3; ++n) {
        EXPECT_TRUE(contents.FrameImage[n].empty()) << n;
        EXPECT_EQ(contents.FrameData[n].Loaded, 0) << n;
    }
}

TEST_F(PauseTest, ResumeClearsTheSharedMotionOnlyWithTheCameraOn) {
    Player& player = playerWith("key ENTER\nkey ENTER\n");
    player.state.SI.fill(0xAB);
    player.state.camera.CamActive = 0;
    pressEsc();
    for (size_t i = 0; i < player.state.SI.size(); ++i)
        ASSERT_EQ(player.state.SI[i], 0xAB) << "byte " << i;

    player.state.camera.CamActive = 1;
    pressEsc();
    // The total and the 32 per-camera slots; the rest of the block is left alone.
    for (size_t i = 0; i < 132; ++i) ASSERT_EQ(player.state.SI[i], 0) << "byte " << i;
    for (size_t i = 132; i < player.state.SI.size(); ++i)
        ASSERT_EQ(player.state.SI[i], 0xAB) << "byte " << i;
    // CamActive stays 1 so that the camera is taken again.
    EXPECT_EQ(player.state.camera.CamActive, 1);
    EXPECT_TRUE(io_->window.scriptDone());
}

// ---- BS and the keys without an action ----

class WindowKeysTest : public ::testing::Test {
protected:
    WindowKeysTest() : workdir_(ws.work()) { player.state.contents.MaxCount = 3; }

    void press(int code) { pressKey(player, code); }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
    Player player{fake.io, Options{}};
};

TEST_F(WindowKeysTest, BackspaceSizesTheWindowToTheCachedClip) {
    ContentsState& contents = player.state.contents;
    contents.FrameImage[1] = cv::Mat(48, 64, CV_8UC3, cv::Scalar(1, 2, 3));
    contents.FrameData[1].Loaded = 1;
    player.state.playback.frame_no = 1.7;
    player.state.playback.LastShownFrame = 1.0;
    press(kKeyBackspace);
    // The same window, resized: no destroy, no create, no wait that drops keys.
    const std::vector<std::string> expected = {"size 64x48", "show 64x48"};
    EXPECT_EQ(fake.window.log(), expected);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
    EXPECT_EQ(fake.console.outText(), "");
}

TEST_F(WindowKeysTest, BackspaceWithoutACachedClipShowsNothing) {
    const std::vector<std::string> expected = {};
    ContentsState& contents = player.state.contents;
    // Not loaded; an image without its Loaded flag; a position outside the table.
    struct Case {
        double frame_no;
        int maxCount;
    };
    contents.FrameImage[2] = cv::Mat(48, 64, CV_8UC3);
    for (const Case& c : {Case{0.0, 3}, Case{2.0, 3}, Case{5.0, 3}, Case{-1.0, 3}, Case{0.0, 0}}) {
        SCOPED_TRACE(c.frame_no);
        fake.window.clearLog();
        player.state.playback.frame_no = c.frame_no;
        contents.MaxCount = c.maxCount;
        player.state.playback.LastShownFrame = 7.0;
        press(kKeyBackspace);
        EXPECT_EQ(fake.window.log(), expected);
        EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
    }
}

TEST_F(WindowKeysTest, NoActionKeysChangeNothing) {
    PlaybackState& playback = player.state.playback;
    playback.frame_no = 2.0;
    playback.PendingKey = 'G';
    for (int key : {'G', 'b', 'y', '|'}) {
        SCOPED_TRACE(key);
        press(key);
        EXPECT_EQ(playback.frame_no, 2.0);
        EXPECT_EQ(playback.AutoReplayFlag, 0);
        EXPECT_EQ(playback.PendingKey, 'G');
        EXPECT_EQ(player.state.contents.DirNum, 0);
    }
    EXPECT_EQ(fake.console.outText(), "");
    EXPECT_TRUE(fake.window.log().empty());
}

}  // namespace
}  // namespace kalvento::test
