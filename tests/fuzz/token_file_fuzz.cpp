// The web token file (--http-token-file): the fuzzer's bytes as a file only its owner may read,
// taken by the player's own option parser. A token it takes is the file's first line, long
// enough and without blanks.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/options.h"
#include "fuzz/fuzz_support.h"

namespace {

// A file in a folder of this process's own, written afresh for every input.
const std::string& tokenFile() {
    static const std::string path = [] {
        char folder[] = "/tmp/kalvento_token_fuzz_XXXXXX";
        if (::mkdtemp(folder) == nullptr) std::abort();
        return std::string(folder) + "/token";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    const std::string& path = tokenFile();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    ::close(fd);
    const char* argv[] = {"kalvento", "--http-token-file", path.c_str()};
    std::string error;
    const std::optional<Options> options = parseOptions(3, argv, error);
    if (!options) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const std::string& token = options->httpToken;
    const std::string text = fuzz::bytes(data, size);
    if (token.size() < kMinHttpTokenLength || token.find_first_of(" \t\r\n") != std::string::npos ||
        text.compare(0, token.size(), token) != 0)
        __builtin_trap();
    return 0;
}
