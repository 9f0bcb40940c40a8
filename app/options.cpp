#include "app/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "commands/command.h"
#include "core/decimal.h"

namespace kalvento {

namespace {

// The help text starts in this column; a longer option head pushes it two spaces beyond.
constexpr size_t kHelpColumn = 25;

bool parseUnsigned(const std::string& text, uint32_t& number) {
    unsigned long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > UINT32_MAX) return false;
    number = static_cast<uint32_t>(value);
    return true;
}

// An empty folder name would leave the player in whatever folder it was started.
bool takeWorkdir(Options& options, const std::string& value, std::string& error) {
    if (value.empty()) {
        error = "--workdir takes a folder name, not an empty one";
        return false;
    }
    options.workdir = value;
    return true;
}

bool takeShmName(Options& options, const std::string& value, std::string& error) {
    if (value.empty() || value.find('/') != std::string::npos) {
        error = "--shm-name takes a name without '/'";
        return false;
    }
    options.shmName = value;
    return true;
}

// The count of gestures reads like "%d": white space and a sign are allowed.
bool takeLearnCount(Options& options, const std::string& value, std::string& error) {
    size_t pos = 0;
    int count = 0;
    if (!parseDecimal(value, pos, count) || pos != value.size() || count < 1 || count > 8) {
        error = "--learn takes the number of gestures to learn, 1 to 8";
        return false;
    }
    options.learnCount = count;
    return true;
}

// --osc-keys and --http-keys: the keys a remote may type, read alike.
bool takeKeyList(KeySet& keys, const char* option, const std::string& value, std::string& error) {
    std::optional<KeySet> list = parseKeyList(value, error);
    if (!list) {
        error = std::string(option) + ": " + error;
        return false;
    }
    keys = *list;
    return true;
}

bool takeOscKeys(Options& options, const std::string& value, std::string& error) {
    return takeKeyList(options.oscKeys, "--osc-keys", value, error);
}

bool takeHttpKeys(Options& options, const std::string& value, std::string& error) {
    return takeKeyList(options.httpKeys, "--http-keys", value, error);
}

// --osc-commands and --http-commands: the commands a remote may run, read alike.
bool takeCommandList(std::set<std::string>& commands, const char* option,
                     const std::string& value, std::string& error) {
    std::optional<std::set<std::string>> list = parseCommandList(value, error);
    if (!list) {
        error = std::string(option) + ": " + error;
        return false;
    }
    commands = std::move(*list);
    return true;
}

bool takeOscCommands(Options& options, const std::string& value, std::string& error) {
    return takeCommandList(options.oscCommands, "--osc-commands", value, error);
}

bool takeHttpCommands(Options& options, const std::string& value, std::string& error) {
    return takeCommandList(options.httpCommands, "--http-commands", value, error);
}

// "640x480": each side 16 .. 8192.
bool parseFrameSize(const std::string& text, int& width, int& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    uint32_t w = 0, h = 0;
    if (!parseUnsigned(text.substr(0, x), w) || !parseUnsigned(text.substr(x + 1), h))
        return false;
    if (w < 16 || w > 8192 || h < 16 || h > 8192) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool takeCameraSize(Options& options, const std::string& value, std::string& error) {
    if (!parseFrameSize(value, options.cameraWidth, options.cameraHeight)) {
        error = "--camera-size takes WIDTHxHEIGHT, each 16 to 8192 (e.g. 640x480)";
        return false;
    }
    return true;
}

bool takeCameraFit(Options& options, const std::string& value, std::string& error) {
    if (value != "crop" && value != "stretch") {
        error = "--camera-fit takes crop or stretch";
        return false;
    }
    options.cameraStretch = value == "stretch";
    return true;
}

bool takeRotation(Options& options, const std::string& value, std::string& error) {
    for (int degrees : {0, 90, 180, 270})
        if (value == std::to_string(degrees)) {
            options.rotation = degrees;
            return true;
        }
    error = "--rotate takes 0, 90, 180 or 270";
    return false;
}

bool takeFit(Options& options, const std::string& value, std::string& error) {
    static constexpr const char* kFits[] = {"contain", "cover", "stretch"};
    for (int i = 0; i < 3; ++i)
        if (value == kFits[i]) {
            options.fit = i;
            return true;
        }
    error = "--fit takes contain, cover or stretch";
    return false;
}

bool takeOsdLanguage(Options& options, const std::string& value, std::string& error) {
    if (value != "ja" && value != "en") {
        error = "--osd-lang takes ja or en";
        return false;
    }
    options.osdLanguage = value;
    return true;
}

// A token short enough to guess is refused: the page is open to everyone on the network.
bool checkHttpToken(const char* option, const std::string& token, std::string& error) {
    if (token.size() < kMinHttpTokenLength) {
        error = std::string(option) + " takes a token of at least " +
                std::to_string(kMinHttpTokenLength) + " characters (this one has " +
                std::to_string(token.size()) + ")";
        return false;
    }
    if (token.find_first_of(" \t\r\n") != std::string::npos) {
        error = std::string(option) + " takes a token without blanks";
        return false;
    }
    return true;
}

bool takeHttpToken(Options& options, const std::string& value, std::string& error) {
    if (!checkHttpToken("--http-token", value, error)) return false;
    options.httpToken = value;
    return true;
}

bool takeImportPath(Options& options, const std::string& value, std::string& error) {
    if (value.empty()) {
        error = "--import takes a folder, picture or video, not an empty name";
        return false;
    }
    options.importPath = value;
    return true;
}

// The token from the first line of a file only its owner can read, so that it shows neither
// in `ps` nor to the machine's other users.
bool takeHttpTokenFile(Options& options, const std::string& value, std::string& error) {
    struct stat info {};
    if (value.empty() || ::stat(value.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "--http-token-file: cannot read " + value;
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = "--http-token-file: " + value + " may be read by others (mode " + mode +
                "); make it mode 0600";
        return false;
    }
    std::ifstream file(value);
    std::string line;
    char buffer[256] = {};
    file.read(buffer, sizeof buffer - 1);
    line.assign(buffer, static_cast<size_t>(file.gcount()));
    line = line.substr(0, line.find_first_of("\r\n"));
    if (!checkHttpToken("--http-token-file", line, error)) return false;
    options.httpToken = line;
    return true;
}

const std::array kOptions = {
    OptionRow{"--workdir", "-C", "DIR",
              "change to DIR first (settings files; DIR/.. holds the contents)", &takeWorkdir},
    OptionRow{"--camera", nullptr, "N",
              "open camera N (/dev/videoN) instead of the number of\n"
              "SetCamera3.txt, as the d and D keys choose it",
              WholeNumberOption{0, 31, "--camera takes a camera number from 0 to 31",
                                [](Options& o, uint32_t n) { o.cameraNumber = static_cast<int>(n); }}},
    OptionRow{"--camera-source", nullptr, "SRC",
              "open SRC (video file, image pattern, stream URL) instead\n"
              "of the camera; a video file plays at its own frame rate",
              &Options::cameraSource},
    OptionRow{"--camera-source-unpaced", nullptr, nullptr,
              "read a --camera-source video as fast as the player\nturns (tests, benchmarks)",
              &Options::cameraSourceUnpaced},
    OptionRow{"--camera-source-loop", nullptr, nullptr,
              "a --camera-source video starts again at its end; the\n"
              "player says that a video stands in for the camera",
              &Options::cameraSourceLoop},
    OptionRow{"--camera-size", nullptr, "WxH",
              "ask the camera for WxH and scale its frames to 320x240", &takeCameraSize},
    OptionRow{"--camera-fit", nullptr, "crop|stretch",
              "a frame of another shape keeps its centre (crop,\n"
              "the default) or all of it (stretch)",
              &takeCameraFit},
    OptionRow{"--camera-lock", nullptr, nullptr,
              "turn the camera's automatic exposure, white balance and\n"
              "focus off once it has settled",
              &Options::cameraLock},
    OptionRow{"--camera-normalize", nullptr, nullptr,
              "a change of the whole picture's brightness is no motion",
              &Options::cameraNormalize},
    OptionRow{"--list-cameras", nullptr, nullptr,
              "list the video capture devices and their frame sizes", &Options::listCameras},
    OptionRow{"--list-commands", nullptr, nullptr,
              "list the commands: name and arguments, keys, what each does",
              &Options::listCommands},
    OptionRow{"--headless", nullptr, nullptr, "no window; keys come from --input, then ESC ESC",
              &Options::headless},
    OptionRow{"--input", nullptr, "FILE", "scripted input events", &Options::inputScript},
    OptionRow{"--fullscreen", nullptr, nullptr, "desktop fullscreen window, mouse cursor hidden",
              &Options::fullscreen},
    OptionRow{"--display", nullptr, "N",
              "the screen the window opens on, 0 first (--list-screens\nnames them)",
              WholeNumberOption{0, 63, "--display takes a screen number from 0 to 63",
                                [](Options& o, uint32_t n) { o.screen = static_cast<int>(n); }}},
    OptionRow{"--rotate", nullptr, "0|90|180|270",
              "turn the picture and the on-screen display clockwise, for\n"
              "a screen on its side or upside down (default 0; kept by\nthe parameter file)",
              &takeRotation, 30},
    OptionRow{"--fit", nullptr, "contain|cover|stretch",
              "how the clip fills a window of another shape: whole,\n"
              "letter-boxed (default); covering it, cropped; stretched\n(kept by the parameter file)",
              &takeFit, 30},
    OptionRow{"--list-screens", nullptr, nullptr, "list the screens: number, size, position",
              &Options::listScreens},
    OptionRow{"--camera-on", nullptr, nullptr, "open the camera at start, as the q key does",
              &Options::cameraOn},
    OptionRow{"--gesture", nullptr, nullptr,
              "start in the gesture mode: the camera on as q does, then\n"
              "the folder's gesture files read as ; does",
              &Options::gesture},
    OptionRow{"--follow", nullptr, nullptr,
              "in the gesture mode the clip follows how far along a learned\n"
              "motion the visitor is, from the first turn, also part of it\n"
              "or back (kept by the parameter file, + key)",
              &Options::follow},
    OptionRow{"--camera-retry", nullptr, "S",
              "when the camera stops giving frames, try to reopen it\n"
              "every S seconds (default: never)",
              WholeNumberOption{
                  1, 86400, "--camera-retry takes a whole number of seconds from 1 to 86400",
                  [](Options& o, uint32_t n) { o.cameraRetrySeconds = static_cast<int>(n); }}},
    OptionRow{"--osc-send", nullptr, "HOST:PORT", "send motion, clip and gesture messages over OSC",
              &Options::oscSend, 30},
    OptionRow{"--osc-listen", nullptr, "[HOST:]PORT",
              "take keys and remote motion over OSC (default\nhost 127.0.0.1)",
              &Options::oscListen},
    OptionRow{"--osc-keys", nullptr, "LIST",
              "keys taken over OSC: characters and ESC, ENTER, TAB, BS,\n"
              "SPACE, COMMA, F1, default, all, separated by commas\n"
              "(default: the keys that only move through the contents or\n"
              "change the view)",
              &takeOscKeys},
    OptionRow{"--osc-commands", nullptr, "LIST",
              "commands taken over OSC (/kalvento/command), names\n"
              "separated by commas, default, all (default: folder, clip,\n"
              "threshold, osd, camera, follow, pause, resume, key, rotate,\n"
              "fit)",
              &takeOscCommands},
    OptionRow{"--osc-rate", nullptr, "HZ",
              "motion messages sent a second at most, 1 to 1000 (default\n60)",
              WholeNumberOption{1, 1000, "--osc-rate takes a whole number from 1 to 1000",
                                [](Options& o, uint32_t n) { o.oscRateHz = static_cast<int>(n); }}},
    OptionRow{"--osc-status", nullptr, nullptr, "print the OSC counts once a second",
              &Options::oscStatus},
    OptionRow{"--http", nullptr, "[HOST:]PORT",
              "the web remote on PORT (host 127.0.0.1; port 0: any)", &Options::httpAddress},
    OptionRow{"--http-keys", nullptr, "LIST",
              "keys the web remote may type, as --osc-keys (default: the\n"
              "same keys and u, the links' QR codes)",
              &takeHttpKeys},
    OptionRow{"--http-commands", nullptr, "LIST",
              "commands the web remote may run, as --osc-commands\n"
              "(default: the same commands)",
              &takeHttpCommands},
    OptionRow{"--http-token", nullptr, "TOKEN",
              "token every web request must carry (made up and printed\n"
              "at start when the host is not 127.0.0.1), 16 characters\n"
              "or more",
              &takeHttpToken},
    OptionRow{"--http-token-file", nullptr, "FILE",
              "the token from the first line of FILE (mode 0600), so that\n"
              "it does not show in the process list",
              &takeHttpTokenFile},
    OptionRow{"--meter", nullptr, nullptr, "a motion bar along the bottom of the shown clip",
              &Options::meter},
    OptionRow{"--osd", nullptr, "LEVEL",
              "what the window shows over the clip: 0 nothing; 1 banners,\n"
              "questions, errors (default); 2 also every message; 3 also\n"
              "the status lines (key F1 cycles the level)",
              WholeNumberOption{0, 3, "--osd takes a level from 0 to 3",
                                [](Options& o, uint32_t n) { o.osdLevel = static_cast<int>(n); }}},
    OptionRow{"--osd-font", nullptr, "FILE",
              "font of the on-screen display (default: a Japanese font\nfound by fontconfig)",
              &Options::osdFont},
    OptionRow{"--osd-lang", nullptr, "ja|en",
              "language of the window's words (default: ja under a\n"
              "Japanese locale, else en)",
              &takeOsdLanguage},
    OptionRow{
        "--cache-budget", nullptr, "MB",
        "decoded clips held in memory at most (default: a quarter\n"
        "of the physical memory)",
        WholeNumberOption{1, 1u << 24,
                          "--cache-budget takes a whole number of megabytes from 1 to 16777216",
                          [](Options& o, uint32_t n) {
                              o.cacheBudgetBytes = static_cast<int64_t>(n) << 20;
                              o.cacheBudgetGiven = true;
                          }}},
    OptionRow{"--decoders", nullptr, "N",
              "threads that decode the next clips ahead of the display,\n"
              "0 to 4 (default 2; 0 decodes each clip when it is shown)",
              WholeNumberOption{0, 4, "--decoders takes a whole number from 0 to 4",
                                [](Options& o, uint32_t n) { o.decoders = static_cast<int>(n); }}},
    OptionRow{"--seed", nullptr, "N", "seed of the random generator instead of the time",
              WholeNumberOption{0, UINT32_MAX, "--seed takes a whole number from 0 to 4294967295",
                                [](Options& o, uint32_t n) { o.seed = n; }}},
    OptionRow{"--learn", nullptr, "N",
              "learn gestures A .. (N = 1..8) in front of the camera from\n"
              "the start (key L does the same; key W saves them)",
              &takeLearnCount},
    OptionRow{"--shm-name", nullptr, "NAME", "name of the shared block (default HWX_SHARED_MEMORY)",
              &takeShmName},
    OptionRow{"--import", nullptr, "PATH",
              "make a new contents folder of PATH (a folder of\n"
              "pictures of any names, in natural order; pictures; a\n"
              "video, every frame) and the words after the options;\n"
              "print the folder made and end",
              &takeImportPath},
    OptionRow{"--import-to", nullptr, "N", "--import makes folder N (default: the lowest free one)",
              WholeNumberOption{1, 9999, "--import-to takes a folder number from 1 to 9999",
                                [](Options& o, uint32_t n) { o.importFolder = static_cast<int>(n); }}},
    OptionRow{"--import-and-play", nullptr, nullptr,
              "after --import, play the folder made instead of ending",
              &Options::importAndPlay},
    OptionRow{"--help", nullptr, nullptr, "this text", &Options::help},
    OptionRow{"--version", nullptr, nullptr, "the version", &Options::version},
};

// "  -C, --workdir DIR", padded to the column of its first help line.
std::string optionHead(const OptionRow& row) {
    std::string head = row.shortName ? std::string("  ") + row.shortName + ", " : "      ";
    head += row.name;
    if (row.argument) head += std::string(" ") + row.argument;
    size_t column = row.helpColumn > 0 ? static_cast<size_t>(row.helpColumn) : kHelpColumn;
    head.resize(std::max(column, head.size() + 2), ' ');
    return head;
}

const OptionRow* findOption(const std::string& word) {
    for (const OptionRow& row : kOptions)
        if (word == row.name || (row.shortName && word == row.shortName)) return &row;
    return nullptr;
}

// How many letters must be put in, left out or changed to make `a` into `b`.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The option a mistyped `word` most likely meant: the nearest long name two letters away at
// most (`--fulscreen`, `--camera_on`), or one that starts with it (`--fullscr`); null when none.
const OptionRow* nearestOption(const std::string& word) {
    const OptionRow* nearest = nullptr;
    size_t best = 3;
    for (const OptionRow& row : kOptions) {
        const std::string_view name = row.name;
        size_t distance = editDistance(word, name);
        if (word.size() >= 4 && name.substr(0, word.size()) == word) distance = std::min<size_t>(distance, 1);
        if (distance < best) {
            best = distance;
            nearest = &row;
        }
    }
    return nearest;
}

// Applies `row` with `value` (empty for a switch); false with a message in `error` when refused.
bool applyOption(const OptionRow& row, const std::string& value, Options& options,
                 std::string& error) {
    if (auto flag = std::get_if<bool Options::*>(&row.action)) {
        options.** flag = true;
    } else if (auto text = std::get_if<std::string Options::*>(&row.action)) {
        options.** text = value;
    } else if (auto number = std::get_if<WholeNumberOption>(&row.action)) {
        uint32_t n = 0;
        if (!parseUnsigned(value, n) || n < number->low || n > number->high) {
            error = number->message;
            return false;
        }
        number->store(options, n);
    } else {
        return std::get<OptionHandler>(row.action)(options, value, error);
    }
    return true;
}

}  // namespace

KeySet defaultWebKeys() {
    KeySet keys = defaultRemoteKeys();
    keys.add('u');
    return keys;
}

std::span<const OptionRow> optionTable() {
    return kOptions;
}

std::string usageText() {
    std::string text =
        "Usage: kalvento [OPTIONS] [--] [IMAGE_FILE ...]\n"
        "Plays the numbered clips of the contents folders S001, S002, ... of DIR/..\n"
        "Image files named on the command line are copied into S001 as new clips.\n"
        "\n";
    for (const OptionRow& row : kOptions) {
        std::string_view help = row.help;
        text += optionHead(row);
        for (size_t end = help.find('\n'); end != std::string_view::npos; end = help.find('\n')) {
            text.append(help.substr(0, end)).append("\n").append(kHelpColumn, ' ');
            help.remove_prefix(end + 1);
        }
        text.append(help).append("\n");
    }
    text +=
        "\n"
        "The manual page: man kalvento. The guide, with every option, key, file and message:\n"
        "/usr/share/doc/kalvento/docs/guide.md (docs/guide.md in the source).\n";
    return text;
}

std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error) {
    Options options;
    options.words.push_back(argc > 0 && argv[0] ? argv[0] : "kalvento");
    int i = 1;
    for (; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--") {
            ++i;
            break;
        }
        if (word.size() < 2 || word[0] != '-') break;
        const OptionRow* row = findOption(word);
        if (!row) {
            error = "unknown option " + word;
            if (const OptionRow* near = nearestOption(word))
                error += std::string(" (did you mean ") + near->name + "?)";
            return std::nullopt;
        }
        std::string value;
        if (row->argument) {
            if (i + 1 >= argc) {
                error = "option " + word + " needs a value";
                return std::nullopt;
            }
            value = argv[++i];
        }
        if (!applyOption(*row, value, options, error)) return std::nullopt;
    }
    for (; i < argc; ++i) options.words.push_back(argv[i]);
    if (options.importPath.empty() && (options.importFolder > 0 || options.importAndPlay)) {
        error = options.importFolder > 0 ? "--import-to needs --import PATH"
                                         : "--import-and-play needs --import PATH";
        return std::nullopt;
    }
    return options;
}

std::set<std::string> defaultCommandSet() {
    const std::vector<std::string> names = defaultRemoteCommands();
    return {names.begin(), names.end()};
}

std::optional<std::set<std::string>> parseCommandList(const std::string& text,
                                                      std::string& error) {
    std::set<std::string> commands;
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        if (item == "default") {
            commands.merge(defaultCommandSet());
        } else if (item == "all") {
            for (const KeyCommand& row : commandTable()) commands.insert(row.name);
        } else if (findCommand(item) != nullptr) {
            commands.insert(item);
        } else {
            error = "no command \"" + item + "\" (kalvento --list-commands lists them)";
            return std::nullopt;
        }
    }
    return commands;
}

}  // namespace kalvento
