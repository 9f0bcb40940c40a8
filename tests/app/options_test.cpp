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

namespace kalvento {
namespace {

TEST(InstallationOptions, KioskCameraOscAndMeterOptions) {
    std::string error;
    const char* argv[] = {"kalvento", "--fullscreen", "--camera-on", "--camera-retry",
                          "10",       "--osc-send",   "host:9000",   "--osc-listen",
                          "7000",     "--meter",      "clip.jpg"};
    auto options = parseOptions(11, argv, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->fullscreen);
    EXPECT_TRUE(options->cameraOn);
    EXPECT_EQ(options->cameraRetrySeconds, 10);
    EXPECT_EQ(options->oscSend, "host:9000");
    EXPECT_EQ(options->oscListen, "7000");
    EXPECT_TRUE(options->meter);
    EXPECT_EQ(options->words.back(), "clip.jpg");
    for (const char* bad : {"0", "-1", "x", "86401"}) {
        const char* retry[] = {"kalvento", "--camera-retry", bad};
        EXPECT_FALSE(parseOptions(3, retry, error)) << bad;
    }
    for (const char* option : {"--fullscreen", "--camera-on", "--camera-retry", "--osc-send",
                               "--osc-listen", "--meter", "--decoders"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

TEST(InstallationOptions, DecoderThreadsFromZeroToFour) {
    std::string error;
    const char* plain[] = {"kalvento"};
    ASSERT_TRUE(parseOptions(1, plain, error));
    EXPECT_EQ(parseOptions(1, plain, error)->decoders, 2);
    for (const char* count : {"0", "4"}) {
        const char* argv[] = {"kalvento", "--decoders", count};
        auto options = parseOptions(3, argv, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->decoders, count[0] - '0');
    }
    for (const char* bad : {"5", "-1", "two"}) {
        const char* argv[] = {"kalvento", "--decoders", bad};
        EXPECT_FALSE(parseOptions(3, argv, error)) << bad;
        EXPECT_EQ(error, "--decoders takes a whole number from 0 to 4") << bad;
    }
}

}  // namespace
}  // namespace kalvento
