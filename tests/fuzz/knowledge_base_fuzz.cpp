// The four knowledge-base files, laid out from one input: three little-endian 16-bit lengths
// for files 1 to 3, then their bytes, and the rest is file 4 (the samples).

#include "fuzz/fuzz_support.h"
#include "gesture/kb_files.h"
#include "gesture/recogniser.h"
#include "support/fake_recogniser_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    if (size < 6) return 0;
    size_t at = 6;
    fuzz::MemoryFileOps files;
    for (int part = 1; part <= 3; ++part) {
        size_t length = data[2 * (part - 1)] | (size_t{data[2 * (part - 1) + 1]} << 8);
        length = std::min(length, size - at);
        files.files[kbFileName(1, part)] = fuzz::bytes(data + at, length);
        at += length;
    }
    files.files[kbFileName(1, 4)] = fuzz::bytes(data + at, size - at);
    static Recogniser recogniser;  // built once: its tables are large
    static GestureState gesture;
    test::FakeRecogniserHost host;
    if (ReadKB(recogniser, gesture, 1, files, host, 0) != 0) __builtin_trap();
    const KnowledgeBase& kb = recogniser.kb;
    if (kb.presentSamples() > kMaxKbRecords) __builtin_trap();
    for (const auto& row : kb.SampleCount)
        for (int count : row)
            if (count < -1 || count > kSamples) __builtin_trap();
    for (const GestureLabel& label : kb.labels)
        if (label.MotionLength < 0 || label.MotionLength > kSamples) __builtin_trap();
    return 0;
}
