// The camera supervisor: a lost camera is tried again every period with a quiet probe, and a
// probe that opens hands the camera back to be switched on.

#include <gtest/gtest.h>

#include "motion/camera_supervisor.h"
#include "support/fake_camera.h"

namespace kalvento::test {
namespace {

using Outcome = CameraSupervisor::Outcome;

TEST(CameraSupervisor, TriesEveryPeriodQuietlyAndHandsBackTheCameraThatOpened) {
    FakeCamera camera;
    camera.openable = false;
    CameraState state;
    state.CamActive = 0;
    state.CameraLost = 1;
    CameraSupervisor supervisor(2);
    EXPECT_EQ(supervisor.turn(state, camera, 1'000'000), Outcome::Started);
    EXPECT_EQ(supervisor.turn(state, camera, 2'999'999), Outcome::Nothing);
    EXPECT_EQ(camera.opens, 0) << "no try before the period has passed";
    EXPECT_EQ(supervisor.retries(), 0);
    EXPECT_EQ(supervisor.turn(state, camera, 3'000'000), Outcome::Nothing);
    EXPECT_EQ(camera.opens, 1) << "a probe that cannot open ends at once";
    EXPECT_EQ(supervisor.retries(), 1) << "the window's sign counts the tries";
    camera.openable = true;
    EXPECT_EQ(supervisor.turn(state, camera, 4'000'000), Outcome::Nothing);
    EXPECT_EQ(camera.opens, 1);
    EXPECT_EQ(supervisor.turn(state, camera, 5'000'000), Outcome::Nothing);
    EXPECT_EQ(camera.opens, 2);
    EXPECT_EQ(supervisor.retries(), 2);
    const int releases = camera.releases;
    EXPECT_EQ(supervisor.turn(state, camera, 5'000'001), Outcome::CameraBack);
    EXPECT_EQ(camera.releases, releases + 1) << "the probe lets the camera go";
    // Switched on, the camera is no longer supervised; lost again, it is tried again.
    state.CamActive = 1;
    EXPECT_EQ(supervisor.turn(state, camera, 6'000'000), Outcome::Nothing);
    EXPECT_EQ(supervisor.retries(), 0) << "back on, the count starts again";
    state.CamActive = 0;
    EXPECT_EQ(supervisor.turn(state, camera, 7'000'000), Outcome::Started);
    CameraSupervisor never(0);
    EXPECT_EQ(never.turn(state, camera, 9'000'000), Outcome::Nothing);
    EXPECT_EQ(camera.opens, 2);
}

}  // namespace
}  // namespace kalvento::test
