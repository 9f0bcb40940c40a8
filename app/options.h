#pragma once
// The command line: options first, then the image files of the start-up import.

#include <cstdint>
#include <optional>
#include <span>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "core/key_set.h"

namespace kalvento {

inline constexpr const char* kDefaultShmName = "HWX_SHARED_MEMORY";
// A web token shorter than this is refused (a short one is guessed within seconds).
inline constexpr size_t kMinHttpTokenLength = 16;

// The commands a remote may run unless told otherwise (see defaultRemoteCommands).
std::set<std::string> defaultCommandSet();
// The keys the web remote may type by default: those of OSC, and u, which only shows the
// links as QR codes in the window.
KeySet defaultWebKeys();

struct Options {
    std::string workdir;       // -C, --workdir: change here first
    std::string cameraSource;  // --camera-source: opened instead of camera CamChan
    bool cameraSourceUnpaced = false;  // --camera-source-unpaced: a video read as fast as asked
    bool cameraSourceLoop = false;     // --camera-source-loop: a video starts again at its end
    std::optional<int> cameraNumber;   // --camera N: CamChan for this run, as d/D set it
    int cameraWidth = 0;               // --camera-size WxH: asked of the camera; 0 not given
    int cameraHeight = 0;
    bool cameraStretch = false;        // --camera-fit stretch (default crop)
    bool cameraLock = false;           // --camera-lock
    bool cameraNormalize = false;      // --camera-normalize
    bool listCameras = false;          // --list-cameras
    bool listCommands = false;         // --list-commands
    std::string inputScript;   // --input: scripted input events
    std::string shmName = kDefaultShmName;
    std::optional<uint32_t> seed;
    int learnCount = 0;  // --learn N: learn gestures 0 .. N - 1 from the start (1 .. 8); 0 none
    bool headless = false;
    bool fullscreen = false;     // --fullscreen: desktop fullscreen, cursor hidden
    int screen = 0;              // --display N: the screen the window opens on, 0 first
    int rotation = -1;           // --rotate: 0, 90, 180 or 270 degrees clockwise; -1 not given
    int fit = -1;                // --fit: 0 contain, 1 cover, 2 stretch; -1 not given
    bool listScreens = false;    // --list-screens
    bool cameraOn = false;       // --camera-on: the camera opened at start as q opens it
    bool gesture = false;        // --gesture: q, then ; at start: the gesture mode
    bool follow = false;         // --follow: the clip follows the position within a motion
    int cameraRetrySeconds = 0;  // --camera-retry: reopen a lost camera this often; 0 never
    std::string oscSend;         // --osc-send HOST:PORT
    std::string oscListen;       // --osc-listen [HOST:]PORT
    KeySet oscKeys = defaultRemoteKeys();  // --osc-keys LIST: the keys taken over OSC
    // --osc-commands LIST: the commands taken over OSC
    std::set<std::string> oscCommands = defaultCommandSet();
    int oscRateHz = 60;       // --osc-rate HZ: /kalvento/motion messages a second at most
    bool oscStatus = false;   // --osc-status: the [OSC] counts line once a second
    std::string httpAddress;     // --http [HOST:]PORT: the web remote; "" off
    // --http-commands LIST: the commands the web remote may run
    std::set<std::string> httpCommands = defaultCommandSet();
    KeySet httpKeys = defaultWebKeys();  // --http-keys LIST: keys the web remote may type
    std::string httpToken;       // --http-token TOKEN: asked of every web request
    bool meter = false;          // --meter: motion bar along the bottom of the shown clip
    int osdLevel = 1;            // --osd: what the on-screen display shows, 0 .. 3
    std::string osdLanguage;     // --osd-lang: ja or en; empty: from the locale
    std::string osdFont;         // --osd-font: its font file; empty: found by fontconfig
    int decoders = 2;            // --decoders: read-ahead decoder threads; 0 none
    // --cache-budget MB: decoded clips held at most; main sets a quarter of physical memory.
    int64_t cacheBudgetBytes = int64_t{1} << 62;
    bool cacheBudgetGiven = false;
    // --import PATH: make a new contents folder of PATH and the words after the options;
    // --import-to N: as folder SNNN; --import-and-play: then play it.
    std::string importPath;
    int importFolder = 0;
    bool importAndPlay = false;
    int playFolder = 0;
    // Where the program was started: file names on the command line are relative to it.
    std::string startDirectory;  // the folder (1 for S001) to start on; 0: as the settings say
    bool help = false;
    bool version = false;
    // The program path followed by the words after the options (or after "--").
    std::vector<std::string> words;
};

// A whole number from `low` to `high` that `store` puts into the options; `message` is the
// error for a value that is not such a number.
struct WholeNumberOption {
    uint32_t low;
    uint32_t high;
    const char* message;
    void (*store)(Options&, uint32_t);
};

// Takes the value of an option with checks of its own; false with a message in `error` when the
// value is refused.
using OptionHandler = bool (*)(Options&, const std::string& value, std::string& error);

// What an option does: a switch sets a flag; an option with an argument stores its text, a whole
// number in a range, or hands its value to a handler.
using OptionAction =
    std::variant<bool Options::*, std::string Options::*, WholeNumberOption, OptionHandler>;

// One row of the command line: parsing and the usage text both read it.
struct OptionRow {
    const char* name;       // "--workdir"
    const char* shortName;  // "-C", or nullptr
    const char* argument;   // "DIR" in the usage text; nullptr for a switch
    const char* help;       // the help lines, joined by '\n'
    OptionAction action;
    int helpColumn = 0;  // where the first help line starts when not the usual column
};

// Every option, in the order of the usage text.
std::span<const OptionRow> optionTable();

// Parses argv. nullopt with a message in `error` for an unknown option or a missing or bad
// value. Option parsing ends at the first word that is not an option, or at "--".
std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error);

std::string usageText();

// Reads a command list: names of the command table separated by commas, "default" (the
// default commands) or "all" (every command); an empty list allows none. nullopt, with the
// reason in `error`, for a name the table does not have.
std::optional<std::set<std::string>> parseCommandList(const std::string& text, std::string& error);
// What a refused command line prints after its one line of error: where the options are.
inline constexpr const char* kUsageHint =
    "Try 'kalvento --help' for the options, 'man kalvento' for the manual page.\n";
inline constexpr const char* kVersionText = "KALVENTO PLAYER 1.0\n";

}  // namespace kalvento
