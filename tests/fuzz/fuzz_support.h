#pragma once
// What the fuzz targets share: a file layer that serves the fuzzer's bytes as files, and a
// console that swallows what the readers print.

#include <cstdint>
#include <map>
#include <string>

#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento::fuzz {

// Files held in memory; everything that would change the disk fails.
class MemoryFileOps final : public FileOps {
public:
    std::map<std::string, std::string> files;

    bool exists(const std::string& path) override { return files.count(path) != 0; }
    bool isDirectory(const std::string&) override { return false; }
    bool isReadableFile(const std::string& path) override { return exists(path); }
    CopyResult copyNew(const std::string&, const std::string&) override { return {}; }
    bool remove(const std::string&) override { return false; }
    bool makeDirectory(const std::string&) override { return false; }
    std::optional<std::string> readFile(const std::string& path, size_t maxBytes) override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second.substr(0, maxBytes);
    }
    bool writeFileAtomic(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> writeTemporary(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool rename(const std::string&, const std::string&) override { return false; }
    std::string currentDirectory() override { return "/fuzz"; }
    bool changeDirectory(const std::string&) override { return false; }
};

inline std::string bytes(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace kalvento::fuzz
