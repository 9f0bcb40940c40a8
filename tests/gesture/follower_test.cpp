// The follower's core with synthetic feature sequences: gesture A's eight learned samples have
// the one-number features 0 .. 7, gesture B's 10 .. 17; a performed turn's cost of each sample
// is its distance to the turn's feature, scaled to 0 .. 1 over all samples as the matching does.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gesture/follower.h"

namespace kalvento::test {
namespace {

constexpr int kLearned = 8;
constexpr double kQuiet = -1.0;  // a turn without motion

FollowCosts costsOf(double feature) {
    FollowCosts costs;
    costs.length[0] = costs.length[1] = kLearned;
    double nearest = 1e9, farthest = 0.0;
    for (int g = 0; g < 2; ++g)
        for (int s = 0; s < kLearned; ++s) {
            costs.cost[g][s] = std::fabs(feature - (10.0 * g + s));
            nearest = std::min(nearest, costs.cost[g][s]);
            farthest = std::max(farthest, costs.cost[g][s]);
        }
    for (int g = 0; g < 2; ++g)
        for (int s = 0; s < kLearned; ++s)
            costs.cost[g][s] = (costs.cost[g][s] - nearest) / (farthest - nearest);
    return costs;
}

TEST(Follower, FollowsPartialFasterReversedAndStillMotions) {
    struct Case {
        std::string name;
        std::vector<double> turns;  // the feature of each turn, kQuiet for no motion
        int gesture;                // followed at the end, -1 none
        double position;            // at the end, -1 none
        double highest;             // the highest position on the way
    } cases[] = {
        {"as learned", {0, 1, 2, 3, 4, 5, 6, 7, kQuiet}, 0, 1.0, 1.0},
        {"half, then standing still", {0, 1, 2, 3, kQuiet, kQuiet, kQuiet, kQuiet, kQuiet},
         0, 0.5, 0.5},
        {"twice as fast", {1, 3, 5, 7}, 0, 1.0, 1.0},
        {"half as fast", {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7}, 0, 1.0, 1.0},
        // Going back, sample 3 is the way from 4/8 to 3/8.
        {"forward and back to the middle", {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3}, 0, 0.375, 1.0},
        {"three eighths of B", {10, 11, 12}, 1, 0.375, 0.375},
        {"nobody moves", {kQuiet, kQuiet, kQuiet}, -1, -1.0, -1.0},
    };
    for (const Case& c : cases) {
        auto follower = std::make_unique<FollowerState>();
        resetFollower(*follower);
        double highest = -1.0, before = follower->position;
        for (double feature : c.turns) {
            if (feature == kQuiet) {
                followQuietTurn(*follower);
                EXPECT_FALSE(follower->moved) << c.name;
                EXPECT_EQ(follower->position, before) << c.name << ": a quiet turn moved";
            } else {
                followStep(*follower, costsOf(feature));
            }
            before = follower->position;
            highest = std::max(highest, follower->position);
        }
        EXPECT_EQ(follower->gesture, c.gesture) << c.name;
        EXPECT_NEAR(follower->position, c.position, 0.04) << c.name;
        EXPECT_NEAR(highest, c.highest, 0.04) << c.name;
    }
}

TEST(Follower, ANewMotionAfterAPauseStartsWhereThePerformerIs) {
    auto follower = std::make_unique<FollowerState>();
    resetFollower(*follower);
    for (double feature : {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0}) followStep(*follower, costsOf(feature));
    for (int i = 0; i < kFollowRestartQuietTurns; ++i) followQuietTurn(*follower);
    followStep(*follower, costsOf(1.0));
    EXPECT_TRUE(follower->moved);
    EXPECT_NEAR(follower->position, 2.0 / kLearned, 0.04) << "the new motion starts near the rest pose";
}

}  // namespace
}  // namespace kalvento::test
