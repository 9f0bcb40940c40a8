#include "support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kalvento::test {

ScopedTempDir::ScopedTempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/kalvento_test_XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& data) {
    std::filesystem::path file(path);
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ScopedWorkdir::ScopedWorkdir(const std::string& path)
    : previous_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(path);
}

ScopedWorkdir::~ScopedWorkdir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

}  // namespace kalvento::test
