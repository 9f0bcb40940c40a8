#pragma once
// Real files (PosixFileOps) behind every operation; a test derives from it and overrides only
// the operation it wants to watch or disturb.

#include <cerrno>
#include <utility>

#include "platform/file_ops.h"

namespace kalvento::test {

// A link call that refuses every link with `error`, as a file system without hard links does
// (FAT and exFAT answer EPERM).
inline PosixFileOps::LinkCall refusedLinks(int error) {
    return [error](const char*, const char*) {
        errno = error;
        return -1;
    };
}

class ForwardingFileOps : public FileOps {
public:
    ForwardingFileOps() = default;
    // Real files whose copies are linked to their names by `link` (see refusedLinks).
    explicit ForwardingFileOps(PosixFileOps::LinkCall link) : real(std::move(link)) {}

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
    std::optional<std::string> writeTemporary(const std::string& path,
                                              const std::string& data) override {
        return real.writeTemporary(path, data);
    }
    bool rename(const std::string& from, const std::string& to) override {
        return real.rename(from, to);
    }
    std::string currentDirectory() override { return real.currentDirectory(); }
    bool changeDirectory(const std::string& path) override { return real.changeDirectory(path); }
    std::optional<std::vector<std::string>> listFolder(const std::string& path) override {
        return real.listFolder(path);
    }
    bool removeFolder(const std::string& path) override { return real.removeFolder(path); }
    std::optional<unsigned long long> freeBytes(const std::string& path) override {
        return real.freeBytes(path);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        return real.sameFile(a, b);
    }

    PosixFileOps real;
};

}  // namespace kalvento::test
