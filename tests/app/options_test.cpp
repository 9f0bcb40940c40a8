#include <gtest/gtest.h>

#include "app/options.h"

namespace kalvento {
namespace {

std::optional<Options> parse(std::vector<const char*> args, std::string* error = nullptr) {
    args.insert(args.begin(), "kalvento");
    std::string message;
    auto options = parseOptions(static_cast<int>(args.size()), args.data(), message);
    if (error) *error = message;
    return options;
}

TEST(Options, EveryOptionIsTakenOutOfTheWords) {
    auto options =
        parse({"-C", "w", "--camera-source", "cam.avi", "--headless", "--input", "s.txt", "--seed",
               "42", "--shm-name", "TEST_BLOCK", "--learn", "8", "b.jpg", "a.jpg"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->workdir, "w");
    EXPECT_EQ(options->cameraSource, "cam.avi");
    EXPECT_TRUE(options->headless);
    EXPECT_EQ(options->inputScript, "s.txt");
    EXPECT_EQ(options->seed, 42u);
    EXPECT_EQ(options->shmName, "TEST_BLOCK");
    EXPECT_EQ(options->learnCount, 8);
    EXPECT_EQ(options->words, (std::vector<std::string>{"kalvento", "b.jpg", "a.jpg"}));
}

TEST(Options, DefaultsAndTheEndOfOptions) {
    auto options = parse({"--workdir", "w", "--", "--headless", "-C"});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->headless);
    EXPECT_EQ(options->shmName, "HWX_SHARED_MEMORY");
    EXPECT_FALSE(options->seed.has_value());
    EXPECT_EQ(options->learnCount, 0);
    EXPECT_EQ(options->words, (std::vector<std::string>{"kalvento", "--headless", "-C"}));
    auto firstWordEnds = parse({"a.jpg", "--headless"});
    ASSERT_TRUE(firstWordEnds);
    EXPECT_EQ(firstWordEnds->words, (std::vector<std::string>{"kalvento", "a.jpg", "--headless"}));
}

TEST(Options, BadCommandLinesAreRefused) {
    const std::vector<std::vector<const char*>> cases = {
        {"--bogus"},       {"-C"},
        {"--seed", "-1"},  {"--seed", "4294967296"},
        {"--seed", "12x"}, {"--shm-name", "a/b"},
        {"--input"},       {"-x", "a.jpg"},
        {"--learn", "0"},  {"--learn", "9"},
        {"--learn", "2x"}, {"--learn"}};
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(parse(args, &error).has_value()) << args[0];
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    parse({"--frobnicate"}, &error);
    EXPECT_EQ(error, "unknown option --frobnicate");
}

}  // namespace
}  // namespace kalvento
