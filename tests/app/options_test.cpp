#include <gtest/gtest.h>

#include <set>

#include <sys/stat.h>

#include "app/options.h"
#include "commands/command.h"
#include "support/temp_dir.h"

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
        parse({"-C", "w", "--camera-source", "cam.avi", "--camera-source-unpaced", "--camera",
               "0", "--headless", "--input", "s.txt", "--seed",
               "42", "--shm-name", "TEST_BLOCK", "--learn", "8", "b.jpg", "a.jpg"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->workdir, "w");
    EXPECT_EQ(options->cameraSource, "cam.avi");
    EXPECT_TRUE(options->cameraSourceUnpaced);
    EXPECT_EQ(options->cameraNumber, 0);
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
    EXPECT_FALSE(options->cameraNumber.has_value());
    EXPECT_FALSE(options->cameraSourceUnpaced);
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
    parse({"--workdir", ""}, &error);
    EXPECT_EQ(error, "--workdir takes a folder name, not an empty one");
    parse({"-C", ""}, &error);
    EXPECT_EQ(error, "--workdir takes a folder name, not an empty one");
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
    for (const char* bad : {"32", "-1", "x", ""}) {
        const char* camera[] = {"kalvento", "--camera", bad};
        EXPECT_FALSE(parseOptions(3, camera, error)) << bad;
        EXPECT_EQ(error, "--camera takes a camera number from 0 to 31");
    }
    for (const char* option : {"--fullscreen", "--camera-on", "--camera-retry", "--osc-send",
                               "--osc-listen", "--meter", "--decoders", "--camera ",
                               "--camera-source-unpaced"})
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

namespace kalvento {
namespace {

TEST(UsageText, MatchesTheReferenceByteForByte) {
    const std::string golden =
        test::readFile(std::string(KALVENTO_SOURCE_DIR) + "/tests/app/golden/usage.txt");
    ASSERT_FALSE(golden.empty()) << "reference usage text missing";
    EXPECT_EQ(usageText(), golden);
}

TEST(OptionTable, EveryRowIsNamedOnceAndShownInTheUsage) {
    std::set<std::string> names;
    for (const OptionRow& row : optionTable()) {
        const std::string name = row.name;
        EXPECT_EQ(name.rfind("--", 0), 0u) << name;
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
        if (row.shortName) {
            EXPECT_EQ(std::string(row.shortName).size(), 2u) << name;
            EXPECT_TRUE(names.insert(row.shortName).second) << row.shortName << " twice";
        }
        EXPECT_NE(std::string(row.help), "") << name;
        // A switch sets a flag and only a switch does.
        EXPECT_EQ(row.argument == nullptr, std::holds_alternative<bool Options::*>(row.action))
            << name;
        EXPECT_NE(usageText().find(name + (row.argument ? std::string(" ") + row.argument : "")),
                  std::string::npos)
            << name;
    }
    EXPECT_GE(names.size(), 18u);
}

TEST(Options, EachRefusalHasItsOwnMessage) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"-C"}, "option -C needs a value"},
        {{"--workdir"}, "option --workdir needs a value"},
        {{"--camera-source"}, "option --camera-source needs a value"},
        {{"--osc-send"}, "option --osc-send needs a value"},
        {{"--osc-listen"}, "option --osc-listen needs a value"},
        {{"--seed"}, "option --seed needs a value"},
        {{"--shm-name", ""}, "--shm-name takes a name without '/'"},
        {{"--shm-name", "a/b"}, "--shm-name takes a name without '/'"},
        {{"--seed", "+1"}, "--seed takes a whole number from 0 to 4294967295"},
        {{"--camera-retry", "0"}, "--camera-retry takes a whole number of seconds from 1 to 86400"},
        {{"--cache-budget", "0"},
         "--cache-budget takes a whole number of megabytes from 1 to 16777216"},
        {{"--cache-budget", "16777217"},
         "--cache-budget takes a whole number of megabytes from 1 to 16777216"},
        {{"--learn", "x"}, "--learn takes the number of gestures to learn, 1 to 8"},
        {{"-"}, ""},
        {{"--help", "--nope"}, "unknown option --nope"},
        {{"--fulscreen"}, "unknown option --fulscreen (did you mean --fullscreen?)"},
        {{"--camera_on"}, "unknown option --camera_on (did you mean --camera-on?)"},
        {{"--headles"}, "unknown option --headles (did you mean --headless?)"},
        {{"--import-and-pla"}, "unknown option --import-and-pla (did you mean --import-and-play?)"},
        {{"--osd-langu"}, "unknown option --osd-langu (did you mean --osd-lang?)"},
    };
    for (const auto& [args, message] : cases) {
        std::string error;
        auto options = parse(args, &error);
        EXPECT_EQ(error, message) << args[0];
        EXPECT_EQ(options.has_value(), message.empty()) << args[0];
    }
}

TEST(Options, ValuesAtTheEdgesOfTheirRanges) {
    auto options = parse({"--cache-budget", "16777216", "--seed", "4294967295", "--learn", " +3",
                          "--help", "--version", "--camera-retry", "86400", "-", "x.jpg"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->cacheBudgetBytes, int64_t{16777216} << 20);
    EXPECT_TRUE(options->cacheBudgetGiven);
    EXPECT_EQ(options->seed, 4294967295u);
    EXPECT_EQ(options->learnCount, 3);
    EXPECT_TRUE(options->help);
    EXPECT_TRUE(options->version);
    EXPECT_EQ(options->cameraRetrySeconds, 86400);
    EXPECT_EQ(options->words, (std::vector<std::string>{"kalvento", "-", "x.jpg"}));
    auto plain = parse({});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->cacheBudgetGiven);
    EXPECT_FALSE(plain->help || plain->version || plain->meter || plain->fullscreen);
}

TEST(OscOptions, KeysTakenOverOsc) {
    std::string error;
    auto options = parse({"--osc-keys", "x,ENTER"}, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->oscKeys.contains('x'));
    EXPECT_TRUE(options->oscKeys.contains(13));
    EXPECT_FALSE(options->oscKeys.contains('z'));
    EXPECT_EQ(parse({})->oscKeys, defaultRemoteKeys());
    EXPECT_EQ(parse({"--osc-keys", "all"})->oscKeys.size(), 256u);
    EXPECT_FALSE(parse({"--osc-keys", "x,enter"}, &error));
    EXPECT_EQ(error.rfind("--osc-keys: unknown key \"enter\"", 0), 0u) << error;
    EXPECT_FALSE(parse({"--osc-keys"}, &error));
    EXPECT_NE(usageText().find("--osc-keys LIST"), std::string::npos);

    options = parse({"--osc-rate", "15", "--osc-status"}, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->oscRateHz, 15);
    EXPECT_TRUE(options->oscStatus);
    EXPECT_EQ(parse({})->oscRateHz, 60);
    EXPECT_FALSE(parse({})->oscStatus);
    for (const char* bad : {"0", "1001", "-5", "fast", ""}) {
        EXPECT_FALSE(parse({"--osc-rate", bad}, &error)) << bad;
        EXPECT_EQ(error, "--osc-rate takes a whole number from 1 to 1000");
    }
    for (const char* option : {"--osc-rate HZ", "--osc-status", "--gesture"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
    EXPECT_TRUE(parse({"--gesture"})->gesture);
    EXPECT_FALSE(parse({})->gesture);
}

TEST(DisplayOptions, LevelFromZeroToThreeAndAFontFile) {
    std::string error;
    const char* plain[] = {"kalvento"};
    EXPECT_EQ(parseOptions(1, plain, error)->osdLevel, 1);
    EXPECT_EQ(parseOptions(1, plain, error)->osdFont, "");
    const char* argv[] = {"kalvento", "--osd", "3", "--osd-font", "/f/a.otf"};
    auto options = parseOptions(5, argv, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->osdLevel, 3);
    EXPECT_EQ(options->osdFont, "/f/a.otf");
    for (const char* bad : {"4", "-1", "one"}) {
        const char* refused[] = {"kalvento", "--osd", bad};
        EXPECT_FALSE(parseOptions(3, refused, error)) << bad;
        EXPECT_EQ(error, "--osd takes a level from 0 to 3");
    }
    for (const char* option : {"--osd LEVEL", "--osd-font FILE", "F1"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace kalvento

namespace kalvento {
namespace {

TEST(WebRemoteOptions, TheThreeOptionsAndTheirRefusals) {
    std::string error;
    auto options = parse({"--http", "0.0.0.0:8080", "--http-keys", "x,ESC", "--http-token",
                          "abcdefghijklmnop"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->httpAddress, "0.0.0.0:8080");
    EXPECT_EQ(options->httpKeys, *parseKeyList("ESC,x", error));
    EXPECT_EQ(options->httpToken, "abcdefghijklmnop");
    auto plain = parse({});
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->httpAddress.empty());  // off unless asked
    KeySet osc = plain->oscKeys;  // the same keys as over OSC, and u (QR codes)
    EXPECT_FALSE(osc.contains('u'));
    osc.add('u');
    EXPECT_EQ(plain->httpKeys, osc);
    EXPECT_EQ(plain->oscKeys, defaultRemoteKeys());
    EXPECT_EQ(parse({"--http-keys", "default,g,F1"})->httpKeys.size(), 48u);
    EXPECT_EQ(parse({"--http-keys", ""})->httpKeys.size(), 0u);
    EXPECT_FALSE(parse({"--http-keys", "x,,y"}, &error));
    EXPECT_EQ(error.rfind("--http-keys: unknown key \"\"", 0), 0u) << error;
    EXPECT_FALSE(parse({"--http-token", "7391"}, &error));
    EXPECT_EQ(error, "--http-token takes a token of at least 16 characters (this one has 4)");
    EXPECT_FALSE(parse({"--http-token", ""}, &error));
    EXPECT_FALSE(parse({"--http-token", "sixteen chars ok"}, &error)) << "a blank";
    EXPECT_FALSE(parse({"--http"}, &error));
    EXPECT_EQ(error, "option --http needs a value");
}

// The token from a file only its owner may read: the process list does not show it.
TEST(WebRemoteOptions, TheTokenFileMustBeTheOwnersAlone) {
    test::ScopedTempDir dir;
    const std::string path = dir / "token";
    test::writeFile(path, "0123456789abcdef0123\nsecond line\n");
    ::chmod(path.c_str(), 0600);
    std::string error;
    auto options = parse({"--http-token-file", path.c_str()}, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->httpToken, "0123456789abcdef0123");
    ::chmod(path.c_str(), 0640);
    EXPECT_FALSE(parse({"--http-token-file", path.c_str()}, &error));
    EXPECT_EQ(error, "--http-token-file: " + path + " may be read by others (mode 0640); make it mode 0600");
    test::writeFile(path, "short\n");
    ::chmod(path.c_str(), 0600);
    EXPECT_FALSE(parse({"--http-token-file", path.c_str()}, &error));
    EXPECT_EQ(error, "--http-token-file takes a token of at least 16 characters (this one has 5)");
    EXPECT_FALSE(parse({"--http-token-file", (dir / "none").c_str()}, &error));
    EXPECT_EQ(error, "--http-token-file: cannot read " + (dir / "none"));
}

}  // namespace
}  // namespace kalvento

namespace kalvento {
namespace {

TEST(CommandListOption, NamesDefaultAllAndNoneAreReadAndAnUnknownNameIsRefused) {
    std::string error;
    const struct {
        const char* text;
        size_t size;  // 0 with `has` empty: refused
        const char* has;
    } cases[] = {
        {"folder,clip", 2, "clip"},
        {"default", 11, "resume"},
        {"default,learn-gestures", 12, "learn-gestures"},
        {"", 0, ""},
        {"all", commandTable().size(), "copy-folder-to-home"},
    };
    for (const auto& c : cases) {
        std::optional<std::set<std::string>> list = parseCommandList(c.text, error);
        ASSERT_TRUE(list) << c.text << ": " << error;
        EXPECT_EQ(list->size(), c.size) << c.text;
        if (*c.has != '\0') {
            EXPECT_EQ(list->count(c.has), 1u) << c.text;
        }
    }
    EXPECT_FALSE(parseCommandList("folder,launch-rockets", error));
    EXPECT_NE(error.find("launch-rockets"), std::string::npos);

    const char* argv[] = {"kalvento", "--osc-commands", "folder,key", "--http-commands", "all"};
    std::optional<Options> options = parseOptions(5, argv, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->oscCommands, (std::set<std::string>{"folder", "key"}));
    EXPECT_EQ(options->httpCommands.size(), commandTable().size());
    EXPECT_EQ(Options{}.httpCommands, defaultCommandSet());
    const char* bad[] = {"kalvento", "--http-commands", "quit"};
    EXPECT_FALSE(parseOptions(3, bad, error));
    EXPECT_EQ(error.rfind("--http-commands: ", 0), 0u) << error;
}

}  // namespace
}  // namespace kalvento
