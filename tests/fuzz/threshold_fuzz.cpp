// The threshold file "QBN_THRESHOLD.dat", reread every turn.

#include "fuzz/fuzz_support.h"
#include "settings/threshold_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    fuzz::MemoryFileOps files;
    files.files["QBN_THRESHOLD.dat"] = fuzz::bytes(data, size);
    int threshold = 11500;
    if (readThresholdFile(files, threshold) && threshold < 0) __builtin_trap();
    return 0;
}
