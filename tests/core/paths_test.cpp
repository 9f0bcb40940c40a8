#include <gtest/gtest.h>

#include "core/paths.h"

namespace kalvento {
namespace {

TEST(ContentsPaths, NumbersAreZeroFilled) {
    struct Case {
        std::string built;
        std::string expected;
    };
    const Case cases[] = {
        {folderPath(0), "../S001"},
        {folderPath(41), "../S042"},
        {folderPath(998), "../S999"},
        {folderPath(999), "../S1000"},
        {clipPath(0, 7), "../S001/clip_00007.jpg"},
        {clipPath(11, 21999), "../S012/clip_21999.jpg"},
        {checkFilePath(2), "../S003/check_result.txt"},
        {folderConfigPath(41), "../S042/tcz_config.dat"},
        {frameDataFileName(11), "frame_data0012.dat"},
        {frameDataFileName(9998), "frame_data9999.dat"},
        {folderName(0), "S001"},
        {folderName(9999), "S10000"},
        {parameterFileName(4), "qbn_env0005.dat"},
        {parameterFileName(9999), "qbn_env10000.dat"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(ContentsPaths, StoredWindowsSeparatorsOpenHere) {
    EXPECT_EQ(openablePath("..\\S001\\clip_00000.jpg"), "../S001/clip_00000.jpg");
    EXPECT_EQ(openablePath("../S001/clip_00000.jpg"), "../S001/clip_00000.jpg");
    EXPECT_EQ(zeroFill("S  1 x"), "S0010x");
}

}  // namespace
}  // namespace kalvento
