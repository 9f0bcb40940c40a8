#pragma once
// File operations of the player. No shell is ever involved: every operation is done directly.

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalvento {

struct CopyResult {
    enum Status { Copied, DestinationExists, Failed };
    Status status = Failed;
    std::string error;     // why a copy failed, for the console
    int errorNumber = 0;   // the errno of a failed read or write, 0 when there was none
    void setError(int number) {
        errorNumber = number;
        error = std::strerror(number);
    }
};

// True for the errors of a failed write that no other file would escape: the disk or the
// quota is full, the disk fails or is read-only.
inline bool isWriteFailure(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EIO ||
           errorNumber == EROFS || errorNumber == EFBIG;
}

class FileOps {
public:
    virtual ~FileOps() = default;

    virtual bool exists(const std::string& path) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    virtual bool isReadableFile(const std::string& path) = 0;

    // Copies `from` to the new file `to`. The destination is created exclusively: an existing
    // file is never overwritten (DestinationExists), even when another process creates it at
    // the same moment. A failed copy leaves no partial destination behind, not even one cut
    // short by a killed process: the copy is linked to its name only when complete (a stray
    // temporary "to.tmpXXXXXX" may then be left beside it, which nothing reads). Where the
    // file system has no hard links (FAT, exFAT, some network shares) the destination itself
    // is created exclusively and filled: a failed copy is removed, but one cut short by a
    // killed process stays short under its name.
    virtual CopyResult copyNew(const std::string& from, const std::string& to) = 0;

    virtual bool remove(const std::string& path) = 0;
    virtual bool makeDirectory(const std::string& path) = 0;

    // Reads at most `maxBytes` bytes of a file; nullopt when it cannot be opened or a read
    // fails part-way (a file is never handed on as shorter than it is).
    virtual std::optional<std::string> readFile(const std::string& path, size_t maxBytes) = 0;

    // Writes `data` to a temporary file in the same folder and renames it over `path`, so a
    // crash leaves either the old file or the new one. False when nothing was replaced. The
    // file keeps the permission bits of the one it replaces; a new file gets 0666 less the
    // umask.
    virtual bool writeFileAtomic(const std::string& path, const std::string& data) = 0;

    // The first half of writeFileAtomic: writes `data`, synced to the disk, to a new temporary
    // file "path.tmpXXXXXX" beside `path`, with the permission bits `path` will get, and
    // returns its name; nullopt, with nothing left behind, when that fails.
    virtual std::optional<std::string> writeTemporary(const std::string& path,
                                                      const std::string& data) = 0;
    // Renames `from` over `to` (the second half). False, with both left as they were, on
    // failure.
    virtual bool rename(const std::string& from, const std::string& to) = 0;

    virtual std::string currentDirectory() = 0;
    virtual bool changeDirectory(const std::string& path) = 0;

    // The names in folder `path` (not "." and ".."), in no particular order; nullopt when it
    // cannot be read.
    virtual std::optional<std::vector<std::string>> listFolder(const std::string&) {
        return std::nullopt;
    }
    // Removes the empty folder `path`; false when it cannot.
    virtual bool removeFolder(const std::string&) { return false; }
    // True when both paths name the same file or folder (links followed).
    virtual bool sameFile(const std::string&, const std::string&) { return false; }
    // The bytes an unprivileged writer may still write on the file system of `path`; nullopt
    // when unknown.
    virtual std::optional<unsigned long long> freeBytes(const std::string&) {
        return std::nullopt;
    }
};

class PosixFileOps final : public FileOps {
public:
    // The call that gives a finished copy its name, as link(2) does it: 0, or -1 with errno.
    using LinkCall = std::function<int(const char* existing, const char* name)>;

    PosixFileOps() = default;
    // Uses `link` instead of link(2), to see how copies fare where links are refused.
    explicit PosixFileOps(LinkCall link) : link_(std::move(link)) {}

    bool exists(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool isReadableFile(const std::string& path) override;
    CopyResult copyNew(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool makeDirectory(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path, size_t maxBytes) override;
    bool writeFileAtomic(const std::string& path, const std::string& data) override;
    std::optional<std::string> writeTemporary(const std::string& path,
                                              const std::string& data) override;
    bool rename(const std::string& from, const std::string& to) override;
    std::string currentDirectory() override;
    bool changeDirectory(const std::string& path) override;
    std::optional<std::vector<std::string>> listFolder(const std::string& path) override;
    bool removeFolder(const std::string& path) override;
    std::optional<unsigned long long> freeBytes(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;

private:
    LinkCall link_;  // empty: link(2)
};

}  // namespace kalvento
