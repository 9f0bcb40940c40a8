// The scripted input file of --input.

#include <string_view>

#include "fuzz/fuzz_support.h"
#include "input/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    auto events = kalvento::parseInputScript(
        std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!events && error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
}
