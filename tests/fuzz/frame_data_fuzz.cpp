// The frame data file: a folder's clip table, 22000 records and a count.

#include "contents/frame_data_file.h"
#include "fuzz/fuzz_support.h"
#include "support/capture_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    fuzz::MemoryFileOps files;
    files.files["frame_data0001.dat"] = fuzz::bytes(data, size);
    static std::vector<FrameData> table(kMaxClips);
    std::fill(table.begin(), table.end(), FrameData{});
    int maxCount = -1;
    test::CaptureConsole console;
    if (readFrameDataFile("frame_data0001.dat", table, maxCount, files, console) &&
        (maxCount < 0 || maxCount > kMaxClips))
        __builtin_trap();  // the count must always come out in range
    for (const FrameData& record : table)
        if (record.Loaded != 0) __builtin_trap();
    return 0;
}
