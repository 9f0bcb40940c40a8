// Copies into the first free number of a sequence: never over an existing file, on past a
// name taken meanwhile, and the number left free when a copy fails.

#include <gtest/gtest.h>

#include <climits>

#include "core/numbered_copy.h"
#include "support/racing_file_ops.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

TEST(NumberedCopy, TakesTheFirstFreeNumberAndGoesOnPastANameTakenMeanwhile) {
    // The same with hard links and on a file system that refuses them (FAT, exFAT).
    const std::pair<const char*, PosixFileOps::LinkCall> layers[] = {
        {"links", {}}, {"no links", refusedLinks(EPERM)}};
    for (const auto& [name, link] : layers) {
        SCOPED_TRACE(name);
        ScopedTempDir dir;
        writeFile(dir / "src", "mine");
        writeFile(dir / "n1", "old 1");
        RacingFileOps files(1, "the other player's", "", link);
        std::vector<std::string> announced;
        NumberedCopy copy = copyToFreeNumber(
            files, dir / "src", -5, [&](int n) { return dir / ("n" + std::to_string(n)); },
            [&](const std::string& path) { announced.push_back(path); });
        EXPECT_TRUE(copy.copied) << copy.error;
        EXPECT_EQ(copy.number, 2) << "n0 was taken meanwhile, n1 was there";
        EXPECT_EQ(announced, (std::vector<std::string>{dir / "n0", dir / "n2"}));
        EXPECT_EQ(readFile(dir / "n0"), "the other player's");
        EXPECT_EQ(readFile(dir / "n1"), "old 1");
        EXPECT_EQ(readFile(dir / "n2"), "mine");
    }
}

TEST(NumberedCopy, FailureLeavesTheNumberFreeAndTheEndOfTheNumbersStops) {
    ScopedTempDir dir;
    PosixFileOps files;
    auto pathOf = [&](int n) { return dir / ("n" + std::to_string(n)); };
    NumberedCopy missing = copyToFreeNumber(files, dir / "none", 3, pathOf, [](auto&) {});
    EXPECT_FALSE(missing.copied);
    EXPECT_EQ(missing.number, 3);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_FALSE(files.exists(dir / "n3"));

    writeFile(dir / "taken", "x");
    NumberedCopy full = copyToFreeNumber(
        files, dir / "taken", INT_MAX - 1, [&](int) { return dir / "taken"; }, [](auto&) {});
    EXPECT_FALSE(full.copied);
    EXPECT_EQ(full.number, -1);
    EXPECT_EQ(full.error, "no free number is left");
}

}  // namespace
}  // namespace kalvento::test
