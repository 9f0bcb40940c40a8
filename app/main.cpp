// kalvento: the program. Reads the options, builds the outside world (window, console, files,
// clock, clip decoder) and runs the player.

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <memory>

#include "app/import_command.h"
#include "app/link_code_overlay.h"
#include "app/options.h"
#include "app/player.h"
#include "app/text_page.h"
#include "app/web_remote.h"
#include "commands/command.h"
#include "contents/leftovers.h"
#include "contents/read_ahead.h"
#include "input/scripted_window.h"
#include "core/paths.h"
#include "platform/camera.h"
#include "platform/headless_window.h"
#include "platform/memory_info.h"
#include "display/composing_window.h"
#include "display/on_screen_display.h"
#include "platform/process_runner.h"
#include "platform/sdl_window.h"
#include "platform/shared_block.h"
#include "platform/video_devices.h"

using namespace kalvento;

namespace {

// The language of the window's help page: --osd-lang, else Japanese under a Japanese locale.
HelpLanguage helpLanguageOf(const Options& options) {
    if (!options.osdLanguage.empty())
        return options.osdLanguage == "ja" ? HelpLanguage::Japanese : HelpLanguage::English;
    const char* locale = std::setlocale(LC_MESSAGES, nullptr);
    const std::string name = locale != nullptr ? locale : "";
    return name.rfind("ja", 0) == 0 ? HelpLanguage::Japanese : HelpLanguage::English;
}

// The on-screen display and the window it watches: none in a headless run or without a font
// (said on the error stream; the player then runs without it).
struct DisplayParts {
    std::unique_ptr<TextRenderer> text;
    std::unique_ptr<OnScreenDisplay> display;
    std::unique_ptr<DisplayWindow> window;
};

DisplayParts openDisplay(const Options& options, Console& console, Clock& clock, Window& screen,
                         Window& playerWindow) {
    DisplayParts parts;
    if (options.headless) return parts;
    std::string error;
    std::optional<std::string> font = options.osdFont;
    if (font->empty()) font = findDisplayFont(error);
    if (font) parts.text = TextRenderer::open(*font, error);
    if (!parts.text) {
        console.printErr("kalvento: no on-screen display: %s\n", error.c_str());
        return parts;
    }
    // Questions are answered in the window when nobody can type them on a terminal, unless a
    // script gives the answers.
    const bool answerInWindow = !console.inputIsTerminal() && options.inputScript.empty();
    parts.display = std::make_unique<OnScreenDisplay>(*parts.text, clock, screen, playerWindow,
                                                      options.osdLevel, answerInWindow,
                                                      helpLanguageOf(options));
    parts.window = std::make_unique<DisplayWindow>(playerWindow, *parts.display);
    screen.setOverlay(parts.display.get());
    return parts;
}

// The window of the run: one that shows nothing when headless, else the SDL window on its
// screen with the composer in front of it, which lays the pictures out (turned, fitted) and
// draws the on-screen display over them.
struct RunWindow {
    std::unique_ptr<Window> screen;  // the window that shows pixels
    std::unique_ptr<ComposingWindow> composer;
    Window& window() { return composer ? *composer : *screen; }
};

// Null screen (said on the error stream) when the window cannot open. A screen that does not
// exist is said too, and the first one used.
RunWindow openWindow(const Options& options, Console& console) {
    RunWindow run;
    if (options.headless) {
        run.screen = std::make_unique<HeadlessWindow>();
        return run;
    }
    std::string error, note;
    std::unique_ptr<SdlWindow> sdl =
        SdlWindow::open(error, WindowPlace{options.screen, options.fullscreen}, &note);
    if (!sdl) {
        console.printErr(
            "kalvento: the player window cannot open (%s). Without a display, run with "
            "--headless (and --input FILE).\n",
            error.c_str());
        return run;
    }
    if (!note.empty()) console.printErr("kalvento: --display %d: %s\n", options.screen, note.c_str());
    run.screen = std::move(sdl);
    run.composer = std::make_unique<ComposingWindow>(*run.screen);
    if (options.rotation >= 0) run.composer->setRotation(options.rotation);
    if (options.fit >= 0) run.composer->setFit(static_cast<Fit>(options.fit));
    return run;
}

// --list-screens: "screen N: WxH at X,Y", one line each; 1 (said) without a display.
int listScreens(Console& console) {
    std::string error;
    std::unique_ptr<SdlWindow> sdl = SdlWindow::open(error);
    if (!sdl) {
        console.printErr("kalvento: no screens: %s\n", error.c_str());
        return 1;
    }
    for (const ScreenInfo& screen : sdl->screens())
        console.out("screen " + std::to_string(screen.number) + ": " +
                    std::to_string(screen.width) + "x" + std::to_string(screen.height) + " at " +
                    std::to_string(screen.x) + "," + std::to_string(screen.y) + "\n");
    return 0;
}

// Tests list the capture devices of a sysfs tree of their own (KALVENTO_SYSFS_ROOT).
std::string sysfsRootFromEnvironment() {
    const char* sysfs = std::getenv("KALVENTO_SYSFS_ROOT");
    return sysfs && *sysfs ? std::string(sysfs) : std::string("/sys");
}

// The events of --input (none without it); nullopt, said on the console, when the file cannot
// be read or parsed.
std::optional<std::vector<ScriptEvent>> readInputScript(const Options& options, FileOps& files,
                                                        Console& console) {
    if (options.inputScript.empty()) return std::vector<ScriptEvent>{};
    std::string error = "cannot read it";
    std::optional<std::vector<ScriptEvent>> events;
    if (std::optional<std::string> text = files.readFile(options.inputScript, 16u << 20))
        events = parseInputScript(*text, error);
    if (!events)
        console.printErr("kalvento: --input %s: %s\n", options.inputScript.c_str(), error.c_str());
    return events;
}

// Decoder threads read the clips ahead of the display into a small ring, not the cache; none
// with --decoders 0.
std::unique_ptr<ReadAhead> openClipReader(const Options& options) {
    if (options.decoders <= 0) return nullptr;
    return std::make_unique<ReadAhead>([] { return std::make_unique<TurboJpegLoader>(); },
                                       &fileIdentityOf, options.decoders, ClipRing::Limits{});
}

// Numbers are read and written with a decimal point under every locale: the player's files and
// console lines are read by programs. Everything else follows the user's locale.
void useUserLocaleWithDecimalPoint() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

// Without --cache-budget: a quarter of the machine's memory, so that a large CamOnMemory never
// exhausts it.
void setDefaultCacheBudget(Options& options) {
    if (options.cacheBudgetGiven) return;
    constexpr int64_t kFloor = int64_t{256} << 20;
    options.cacheBudgetBytes = std::max(kFloor, physicalMemoryBytes() / 4);
}

// Changes to --workdir when one is given; false (said on the console) when that fails.
// An import makes a missing working directory.
bool enterWorkdir(const Options& options, FileOps& files, Console& console) {
    if (!options.importPath.empty() && enterImportWorkdir(options.workdir, files, console))
        return true;
    if (options.workdir.empty() || files.changeDirectory(options.workdir)) return true;
    if (!files.exists(options.workdir)) {
        console.printErr(
            "kalvento: cannot change to the working directory %s: it does not exist (make it "
            "with: mkdir -p %s)\n",
            printable(options.workdir).c_str(), shellQuoted(options.workdir).c_str());
        return false;
    }
    console.printErr("kalvento: cannot change to the working directory %s\n",
                     options.workdir.c_str());
    return false;
}

// A scripted run (--input) and a headless one take their input from the script; null: the
// window's own input is used.
std::unique_ptr<ScriptedWindow> openScriptedWindow(const Options& options, Window& baseWindow,
                                                   std::vector<ScriptEvent> script, Clock& clock) {
    if (options.inputScript.empty() && !options.headless) return nullptr;
    return std::make_unique<ScriptedWindow>(baseWindow, std::move(script), clock, options.headless);
}

// The OSC port of --osc-send and --osc-listen (null without either); false (said on the
// console) when an address is wrong or the port cannot be bound.
bool openOsc(const Options& options, std::unique_ptr<OscPort>& osc, Console& console) {
    if (options.oscSend.empty() && options.oscListen.empty()) return true;
    std::string error;
    osc = openOscPort(options.oscSend, options.oscListen, error);
    if (!osc) console.printErr("kalvento: %s\n", error.c_str());
    return osc != nullptr;
}

// The text pages (whose wait runs the player's service step when remotes are on) and the
// script's commands, which join the player's input queue.
void connectPlayer(Player& player, Io& io, TextRenderer* text, ScriptedWindow* scripted) {
    // A scripted run ends by itself when its script is used up: no page waits for ESC there.
    if (text != nullptr && player.options().inputScript.empty())
        io.showPage = [&io, text, &player](const std::vector<std::string>& lines) {
            std::function<void()> service;
            if (player.receivesRemotely()) service = [&player] { player.serviceStep("page"); };
            showTextPage(*text, io.window, lines, service);
        };
    // A question answered in the window serves the remotes while it waits; an ESC from any
    // road (read through the player's key road) gives it up as the window's does.
    if (io.questions != nullptr && player.receivesRemotely())
        io.questions->setService([&player] { player.serviceStep("question"); });
    if (scripted != nullptr)
        scripted->setInputSink([&player](Input input) { player.inputs.push(std::move(input)); });
}

// What main has built so far: the console, the files, the clock, the window (and the window
// the player sees, scripted or the same) and the OSC port.
struct Basics {
    Console& console;
    FileOps& files;
    Clock& clock;
    Window& baseWindow;
    Window& window;
    OscPort* osc;
    ScriptedWindow* scripted;  // null: no script
};

// Builds the rest of the player's world (camera, clip decoders, on-screen display, question
// desk, web remote) and runs the player; the exit status.
int runPlayer(Options options, const std::string& sysfsRoot, const Basics& basics) {
    TurboJpegLoader images;
    CameraSettings cameraSettings;
    cameraSettings.paceFiles = !options.cameraSourceUnpaced;
    cameraSettings.loopFiles = options.cameraSourceLoop;
    cameraSettings.sysfsRoot = sysfsRoot;
    OpenCvCamera camera(cameraSettings);
    std::unique_ptr<ReadAhead> clips = openClipReader(options);
    // Every key of every road comes in under the display's window, which sees them as typed
    // keys; the display's questions read the same road.
    KeyRoadWindow keyRoad(basics.window);
    DisplayParts display =
        openDisplay(options, basics.console, basics.clock, basics.baseWindow, keyRoad);
    if (OnScreenDisplay* shown = display.display.get())
        keyRoad.takeOwnKey(kKeyDisplayLevel, [shown] { shown->cycleLevel(); });
    // The player's events go to the console and to the display.
    Events playerConsole(basics.console);
    playerConsole.listen(display.display.get());
    Window& shownWindow = display.window ? *display.window : static_cast<Window&>(keyRoad);
    // The questions go through one desk: the window and the web remote can see and answer them.
    QuestionDesk questions(playerConsole);
    questions.setSource(display.display.get());
    // The remote's links as QR codes, over the display, shown and hidden by key u.
    LinkCodeOverlay linkCodes(display.display.get());
    if (!options.headless) basics.baseWindow.setOverlay(&linkCodes);
    std::unique_ptr<WebRemote> web;
    if (!options.httpAddress.empty()) {
        std::string error;
        web = WebRemote::open(options, playerConsole, questions, error);
        if (!web) {
            basics.console.printErr("kalvento: %s\n", error.c_str());
            return 2;
        }
        keyRoad.attach(web->hub());
        linkCodes.setLinks(web->links());
        playerConsole.links(web->links());
        keyRoad.takeOwnKey(kKeyLinkCodes, [&linkCodes, &basics] {
            linkCodes.toggle();
            basics.baseWindow.redraw();
        });
    }
    Io io{shownWindow, playerConsole, basics.files, basics.clock, images, camera, {}, {}};
    io.clips = clips.get();
    io.questions = &questions;
    io.openSharedBlock = [&playerConsole](const std::string& name, SharedBlockFailure& failure,
                                          uint32_t& owner) {
        return std::unique_ptr<SharedBlock>(
            PosixSharedBlock::open(name, failure, &playerConsole, &owner));
    };
    PosixProcessRunner processes;
    io.processes = &processes;
    io.osc = basics.osc;
    Player player(io, std::move(options));
    keyRoad.attach(player.inputs);
    player.attachRemote(web ? &web->hub() : nullptr, display.display.get());
    connectPlayer(player, io, display.text.get(), basics.scripted);
    return player.run();
}

}  // namespace

int main(int argc, char** argv) {
    StdConsole console;
    std::string error;
    std::optional<Options> options = parseOptions(argc, argv, error);
    if (!options) {
        console.printErr("kalvento: %s\n%s", error.c_str(), kUsageHint);
        return 2;
    }
    if (options->help || options->version) {
        console.out(options->help ? usageText() : std::string(kVersionText));
        return 0;
    }
    useUserLocaleWithDecimalPoint();
    const std::string sysfsRoot = sysfsRootFromEnvironment();
    if (options->listCommands) {
        console.out(commandListText());
        return 0;
    }
    if (options->listCameras) {
        console.out(cameraListText(listVideoDevices(sysfsRoot, sysfsRoot == "/sys")));
        return 0;
    }
    if (options->listScreens) return listScreens(console);
    setDefaultCacheBudget(*options);

    PosixFileOps files;
    options->startDirectory = files.currentDirectory();
    if (!enterWorkdir(*options, files, console)) return 1;
    removeLeftovers(files, console);
    if (!options->importPath.empty()) {
        const int status = runImport(*options, files, console);
        if (status != 0 || !options->importAndPlay) return status;
    }
    std::optional<std::vector<ScriptEvent>> script = readInputScript(*options, files, console);
    if (!script) return 2;

    SteadyClock clock;
    RunWindow runWindow = openWindow(*options, console);
    if (!runWindow.screen) return 1;
    Window& baseWindow = runWindow.window();
    std::unique_ptr<ScriptedWindow> scripted =
        openScriptedWindow(*options, baseWindow, std::move(*script), clock);
    Window& window = scripted ? *scripted : baseWindow;
    std::unique_ptr<OscPort> osc;
    if (!openOsc(*options, osc, console)) return 2;
    return runPlayer(std::move(*options), sysfsRoot,
                     Basics{console, files, clock, baseWindow, window, osc.get(), scripted.get()});
}
