#pragma once
// A folder of a benchmark's own under the system temporary folder, removed at the end.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace kalvento::bench {

class TempFolder {
public:
    TempFolder() {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "kalvento-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Empty when the folder could not be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace kalvento::bench
