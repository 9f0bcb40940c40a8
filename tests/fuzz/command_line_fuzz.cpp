// The command line: the options, the words kept (cut to their byte limit), and the starting
// clip a first word may name. Words are separated by zero bytes in the input.

#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "core/decimal.h"
#include "fuzz/fuzz_support.h"
#include "support/capture_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    std::vector<std::string> words{"kalvento"};
    std::string word;
    for (size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    std::string error;
    std::optional<Options> options =
        parseOptions(static_cast<int>(argv.size()), argv.data(), error);
    if (!options) return 0;
    CommandLineState commandLine;
    test::CaptureConsole console;
    if (!storeCommandLine(options->words, commandLine, console)) return 0;
    for (const std::string& kept : commandLine.ArgText)
        if (kept.size() > kArgWordBytes) __builtin_trap();
    if (commandLine.ArgCount >= 2) {
        if (auto start = startingClipOf(commandLine.ArgText[1])) {
            size_t pos = 0;
            int value = 0;
            parseDecimal(start->folder, pos, value);
            pos = 0;
            parseDecimal(start->frame, pos, value);
        }
    }
    return 0;
}
