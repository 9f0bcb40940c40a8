// The programs the tests start are checked for leaks like the tests themselves, except the
// runs that open a real window.

#include <gtest/gtest.h>

#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

TEST(RunProgram, LeakDetectionIsTurnedOffOnlyWhenAsked) {
    ScopedTempDir dir;
    RunResult checked = runProgram("/usr/bin/env", {}, dir.path());
    ASSERT_EQ(checked.status, 0);
    EXPECT_FALSE(contains(checked.out, "detect_leaks=0")) << checked.out;
    RunResult unchecked = runProgram("/usr/bin/env", {}, dir.path(), "", 120, LeakCheck::Off);
    ASSERT_EQ(unchecked.status, 0);
    EXPECT_TRUE(contains(unchecked.out, "detect_leaks=0")) << unchecked.out;
}

}  // namespace
}  // namespace kalvento::test
