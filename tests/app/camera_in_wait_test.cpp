// The camera supervisor in the waits outside the turn: its retry time and tries go on in the
// service step, but a camera found again there is switched on only at the next turn.

#include <gtest/gtest.h>

#include "app/options.h"
#include "app/player.h"
#include "support/fake_io.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

TEST(CameraInWait, AWaitTriesAgainButTheCameraComesOnOnlyAtTheNextTurn) {
    FakeIo fake;
    CaptureConsole& console = fake.console;
    FakeClock& clock = fake.clock;
    FakeCamera& camera = fake.camera;
    Options options;
    options.cameraRetrySeconds = 1;
    Player player(fake.io, options);
    player.state.camera.CamActive = 0;
    player.state.camera.CameraLost = 1;
    camera.openable = false;

    player.serviceStep("pause");
    EXPECT_TRUE(contains(console.outText() + console.errText(),
                         "*** The camera stopped giving frames: trying to open it again every "
                         "1 s ***\n"));
    // Two tries that find nothing, a second apart, during the same wait.
    for (int second = 0; second < 2; ++second) {
        clock.advanceMicros(1000000);
        player.serviceStep("pause");
        player.serviceStep("pause");
    }
    EXPECT_EQ(camera.opens, 2);
    // The third try finds it: it is let go again and waits for the turn.
    camera.openable = true;
    clock.advanceMicros(1000000);
    player.serviceStep("pause");
    player.serviceStep("pause");
    EXPECT_EQ(camera.opens, 3);
    clock.advanceMicros(5000000);
    for (int i = 0; i < 5; ++i) player.serviceStep("pause");
    EXPECT_EQ(camera.opens, 3) << "nothing more is tried once the camera is found";
    EXPECT_EQ(player.state.camera.CamActive, 0) << "never switched on in the middle of a wait";
    EXPECT_FALSE(contains(console.outText(), "NOW, TURNING ON THE CAMERA DEVICE"));

    player.retryLostCamera();
    EXPECT_EQ(player.state.camera.CamActive, 1) << "switched on at the turn, as q does";
    EXPECT_EQ(camera.opens, 4);
    EXPECT_TRUE(contains(console.outText(), "NOW, TURNING ON THE CAMERA DEVICE"));
}

}  // namespace
}  // namespace kalvento::test
