#include <gtest/gtest.h>

#include "platform/random.h"

namespace kalvento {
namespace {

TEST(Random, FollowsTheClassicRecurrence) {
    Random random;
    random.seed(1);
    std::vector<int> values;
    for (int i = 0; i < 5; ++i) values.push_back(random.next());
    // The well-known first values of this generator for seed 1.
    EXPECT_EQ(values, (std::vector<int>{41, 18467, 6334, 26500, 19169}));
}

TEST(Random, SameSeedSameSequenceAndAlwaysInRange) {
    Random a, b;
    a.seed(123456789u);
    b.seed(123456789u);
    for (int i = 0; i < 10000; ++i) {
        int value = a.next();
        ASSERT_EQ(value, b.next());
        ASSERT_GE(value, 0);
        ASSERT_LE(value, kRandomMax);
    }
}

}  // namespace
}  // namespace kalvento
