// The camera configuration "SetCamera3.txt": five whole numbers.

#include "core/player_state.h"
#include "fuzz/fuzz_support.h"
#include "settings/camera_config.h"
#include "support/capture_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    fuzz::MemoryFileOps files;
    files.files[kCameraConfigFileName] = fuzz::bytes(data, size);
    static State state;  // built once: a whole state record is large
    state.camera = CameraState{};
    state.playback = PlaybackState{};
    test::CaptureConsole console;
    ReadCameraConfig(state, files, console);
    const CameraState& camera = state.camera;
    if (camera.CamChan < 0 || camera.CamChan > 31 || state.playback.CamOnMemory < 1 ||
        state.playback.CamOnMemory > kMaxCamOnMemory || (camera.CamFlipV & ~1) ||
        (camera.CamFlipH & ~1) || (camera.CamBeep & ~1))
        __builtin_trap();
    return 0;
}
