// The per-folder configuration "tcz_config.dat": key frames of a contents folder.

#include "core/state.h"
#include "fuzz/fuzz_support.h"
#include "settings/folder_config.h"
#include "support/capture_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    fuzz::MemoryFileOps files;
    files.files["../S001/tcz_config.dat"] = fuzz::bytes(data, size);
    KeyFrameState keyFrames;
    test::CaptureConsole console;
    importFolderConfigVerbose(0, keyFrames, files, console);
    importFolderConfigSilently(0, keyFrames, files);
    if (keyFrames.KeyFrameIndex < 0 || keyFrames.KeyFrameIndex >= kKeyFrameSlots) __builtin_trap();
    return 0;
}
