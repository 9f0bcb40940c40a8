#include "app/options.h"

#include <charconv>
#include <cstring>

#include "core/decimal.h"

namespace kalvento {

namespace {

bool parseUnsigned(const std::string& text, uint32_t& seed) {
    unsigned long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > UINT32_MAX) return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

std::string usageText() {
    return "Usage: kalvento [OPTIONS] [--] [IMAGE_FILE ...]\n"
           "Plays the numbered clips of the contents folders S001, S002, ... of DIR/..\n"
           "Image files named on the command line are copied into S001 as new clips.\n"
           "\n"
           "  -C, --workdir DIR      change to DIR first (settings files; DIR/.. holds the "
           "contents)\n"
           "      --camera-source SRC  open SRC (video file, image pattern, stream URL) instead\n"
           "                         of the camera\n"
           "      --headless         no window; keys come from --input, then ESC ESC\n"
           "      --input FILE       scripted input events\n"
           "      --fullscreen       desktop fullscreen window, mouse cursor hidden\n"
           "      --camera-on        open the camera at start, as the q key does\n"
           "      --camera-retry S   when the camera stops giving frames, try to reopen it\n"
           "                         every S seconds (default: never)\n"
           "      --osc-send HOST:PORT    send motion, clip and gesture messages over OSC\n"
           "      --osc-listen [HOST:]PORT  take keys and remote motion over OSC (default\n"
           "                         host 127.0.0.1)\n"
           "      --meter            a motion bar along the bottom of the shown clip\n"
           "      --cache-budget MB  decoded clips held in memory at most (default: a quarter\n"
           "                         of the physical memory)\n"
           "      --decoders N       threads that decode the next clips ahead of the display,\n"
           "                         0 to 4 (default 2; 0 decodes each clip when it is shown)\n"
           "      --seed N           seed of the random generator instead of the time\n"
           "      --learn N          learn gestures A .. (N = 1..8) in front of the camera from\n"
           "                         the start (key L does the same; key W saves them)\n"
           "      --shm-name NAME    name of the shared block (default HWX_SHARED_MEMORY)\n"
           "      --help             this text\n"
           "      --version          the version\n";
}

std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error) {
    Options options;
    options.words.push_back(argc > 0 && argv[0] ? argv[0] : "kalvento");
    int i = 1;
    // The value of an option that takes one; false when it is missing.
    auto takeValue = [&](const std::string& name, std::string& value) {
        if (i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        value = argv[++i];
        return true;
    };
    // A whole number from `low` to `high` after the option; false, with `message` as the
    // error, when it is missing, not such a number or out of range.
    auto takeWholeNumber = [&](const std::string& name, uint32_t low, uint32_t high,
                               const char* message, uint32_t& number) {
        std::string text;
        if (!takeValue(name, text)) return false;
        if (!parseUnsigned(text, number) || number < low || number > high) {
            error = message;
            return false;
        }
        return true;
    };
    for (; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--") {
            ++i;
            break;
        }
        if (word.size() < 2 || word[0] != '-') break;
        if (word == "-C" || word == "--workdir") {
            if (!takeValue(word, options.workdir)) return std::nullopt;
        } else if (word == "--camera-source") {
            if (!takeValue(word, options.cameraSource)) return std::nullopt;
        } else if (word == "--input") {
            if (!takeValue(word, options.inputScript)) return std::nullopt;
        } else if (word == "--shm-name") {
            if (!takeValue(word, options.shmName)) return std::nullopt;
            if (options.shmName.empty() || options.shmName.find('/') != std::string::npos) {
                error = "--shm-name takes a name without '/'";
                return std::nullopt;
            }
        } else if (word == "--seed") {
            uint32_t seed = 0;
            if (!takeWholeNumber(word, 0, UINT32_MAX,
                                 "--seed takes a whole number from 0 to 4294967295", seed))
                return std::nullopt;
            options.seed = seed;
        } else if (word == "--camera-retry") {
            uint32_t seconds = 0;
            if (!takeWholeNumber(word, 1, 86400,
                                 "--camera-retry takes a whole number of seconds from 1 to 86400",
                                 seconds))
                return std::nullopt;
            options.cameraRetrySeconds = static_cast<int>(seconds);
        } else if (word == "--cache-budget") {
            uint32_t megabytes = 0;
            if (!takeWholeNumber(
                    word, 1, 1u << 24,
                    "--cache-budget takes a whole number of megabytes from 1 to 16777216",
                    megabytes))
                return std::nullopt;
            options.cacheBudgetBytes = static_cast<int64_t>(megabytes) << 20;
            options.cacheBudgetGiven = true;
        } else if (word == "--decoders") {
            uint32_t count = 0;
            if (!takeWholeNumber(word, 0, 4, "--decoders takes a whole number from 0 to 4", count))
                return std::nullopt;
            options.decoders = static_cast<int>(count);
        } else if (word == "--osc-send") {
            if (!takeValue(word, options.oscSend)) return std::nullopt;
        } else if (word == "--osc-listen") {
            if (!takeValue(word, options.oscListen)) return std::nullopt;
        } else if (word == "--fullscreen") {
            options.fullscreen = true;
        } else if (word == "--camera-on") {
            options.cameraOn = true;
        } else if (word == "--meter") {
            options.meter = true;
        } else if (word == "--learn") {
            std::string text;
            size_t pos = 0;
            int count = 0;
            if (!takeValue(word, text)) return std::nullopt;
            if (!parseDecimal(text, pos, count) || pos != text.size() || count < 1 || count > 8) {
                error = "--learn takes the number of gestures to learn, 1 to 8";
                return std::nullopt;
            }
            options.learnCount = count;
        } else if (word == "--headless") {
            options.headless = true;
        } else if (word == "--help") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else {
            error = "unknown option " + word;
            return std::nullopt;
        }
    }
    for (; i < argc; ++i) options.words.push_back(argv[i]);
    return options;
}

}  // namespace kalvento
