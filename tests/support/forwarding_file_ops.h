#pragma once
// Real files (PosixFileOps) behind every operation; a test derives from it and overrides only
// the operation it wants to watch or disturb.

#include "platform/file_ops.h"

namespace kalvento::test {

class ForwardingFileOps : public FileOps {
public:
    bool exists(const std::string& path) override { return real.exists(path); }
    bool isDirectory(const std::string& path) override { return real.isDirectory(path); }
    bool isReadableFile(const std::string& path) override { return real.isReadableFile(path); }
    CopyResult copyNew(const std::string& from, const std::string& to) override {
        return real.copyNew(from, to);
    }
    bool remove(const std::string& path) override { return real.remove(path); }
    bool makeDirectory(const std::string& path) override { return real.makeDirectory(path); }
    std::optional<std::string> readFile(const std::string& path, size_t maxBytes) override {
        return real.readFile(path, maxBytes);
    }
    bool writeFileAtomic(const std::string& path, const std::string& data) override {
        return real.writeFileAtomic(path, data);
    }
    std::string currentDirectory() override { return real.currentDirectory(); }
    bool changeDirectory(const std::string& path) override { return real.changeDirectory(path); }

    PosixFileOps real;
};

}  // namespace kalvento::test
