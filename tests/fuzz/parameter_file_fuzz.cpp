// The parameter files: "qbn_env.dat" and the folder's "qbn_env0001.dat" (with its SET lines),
// then the folder's configuration import that the parameter reader runs after them. The first
// byte chooses which files exist and whether a folder was loaded before.

#include "core/player_state.h"
#include "fuzz/fuzz_support.h"
#include "settings/parameter_file.h"
#include "support/capture_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    std::string text = fuzz::bytes(data + 1, size - 1);
    fuzz::MemoryFileOps files;
    files.files[(choice & 1) ? "qbn_env0001.dat" : "qbn_env.dat"] = text;
    if (choice & 2) files.files["../S001/tcz_config.dat"] = text;
    static State state;  // built once: a whole state record is large
    state.playback = PlaybackState{};
    state.mouse = MouseState{};
    state.keyFrames = KeyFrameState{};
    state.contents.DirNum = 0;
    state.contents.MaxCount = 0;
    if (choice & 4) state.contents.MaxCount = 300;  // as after a scan
    test::CaptureConsole console;
    ReadParameterFile(state, files, console);
    const PlaybackState& playback = state.playback;
    if (state.contents.DirNum < 0 || state.keyFrames.KeyFrameIndex < 0 ||
        state.keyFrames.KeyFrameIndex >= kKeyFrameSlots || playback.flip_mode < 0 ||
        playback.flip_mode > 2)
        __builtin_trap();
    if (state.contents.MaxCount > 0 &&
        (playback.frame_no < 0 || playback.frame_no > state.contents.MaxCount - 1))
        __builtin_trap();
    return 0;
}
