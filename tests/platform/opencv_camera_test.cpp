// The OpenCV camera owns its capture alone: it moves, it never copies (a copy would release
// one capture twice).

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "platform/camera.h"

namespace kalvento::test {
namespace {

static_assert(!std::is_copy_constructible_v<OpenCvCamera>);
static_assert(!std::is_copy_assignable_v<OpenCvCamera>);
static_assert(std::is_nothrow_move_constructible_v<OpenCvCamera>);
static_assert(std::is_nothrow_move_assignable_v<OpenCvCamera>);

TEST(OpenCvCamera, MovedCameraKeepsWorking) {
    OpenCvCamera first;
    OpenCvCamera second(std::move(first));
    EXPECT_FALSE(second.isOpen());
    cv::Mat frame(2, 2, CV_8UC3);
    EXPECT_FALSE(second.read(frame));
    EXPECT_TRUE(frame.empty());
    OpenCvCamera third;
    third = std::move(second);
    EXPECT_FALSE(third.isOpen());
}

}  // namespace
}  // namespace kalvento::test
