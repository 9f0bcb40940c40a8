#include "platform/own_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <utility>
#include <vector>

namespace kalvento {

namespace {

// Opens `path` as a folder without following a link at its last name; -1 otherwise.
int openFolderNoFollow(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes every entry of the folder open as `fd` that is not a folder; false when one stays.
bool removeFilesIn(int fd) {
    const int listing = ::dup(fd);
    if (listing < 0) return false;
    DIR* folder = ::fdopendir(listing);
    if (folder == nullptr) {
        ::close(listing);
        return false;
    }
    ::rewinddir(folder);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    bool all = true;
    for (const std::string& name : names) all = ::unlinkat(fd, name.c_str(), 0) == 0 && all;
    return all;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

OwnFolder::~OwnFolder() {
    release();
}

OwnFolder::OwnFolder(OwnFolder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

OwnFolder& OwnFolder::operator=(OwnFolder&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

OwnFolder OwnFolder::make(const std::string& path, Outcome& outcome) {
    OwnFolder folder;
    if (::mkdir(path.c_str(), 0755) != 0) {
        const int error = errno;
        struct stat info {};
        if (error == EEXIST && ::lstat(path.c_str(), &info) == 0)
            outcome = S_ISDIR(info.st_mode) ? Outcome::Exists : Outcome::InTheWay;
        else
            outcome = Outcome::Failed;
        errno = error;
        return folder;
    }
    folder.fd_ = openFolderNoFollow(path);
    if (folder.fd_ < 0 || !holdWhileWriting(folder.fd_)) {
        folder.release();
        outcome = Outcome::Failed;
        return folder;
    }
    outcome = Outcome::Made;
    return folder;
}

bool OwnFolder::isAt(const std::string& path) const {
    struct stat mine {}, named {};
    return fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           S_ISDIR(named.st_mode) && sameFile(mine, named);
}

void OwnFolder::removeWithFiles(const std::string& path) {
    if (fd_ < 0) return;
    removeFilesIn(fd_);
    if (isAt(path)) ::rmdir(path.c_str());
    release();
}

void OwnFolder::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Leftover removeLeftoverFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return Leftover::None;
    if (!S_ISDIR(info.st_mode)) return Leftover::InTheWay;
    const int fd = openFolderNoFollow(path);
    if (fd < 0) return Leftover::Kept;
    if (!holdWhileWriting(fd)) {
        ::close(fd);
        return Leftover::InUse;
    }
    struct stat opened {};
    const bool same = ::fstat(fd, &opened) == 0 && sameFile(info, opened);
    const bool emptied = same && removeFilesIn(fd);
    const bool removed = emptied && ::rmdir(path.c_str()) == 0;
    ::close(fd);
    return removed ? Leftover::Removed : Leftover::Kept;
}

bool isTemporaryName(const std::string& name) {
    constexpr size_t kTail = 10;  // ".tmp" and six letters or digits
    if (name.size() <= kTail + 4 || name.compare(name.size() - kTail, 4, ".tmp") != 0)
        return false;
    for (size_t i = name.size() - 6; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    const std::string written = name.substr(name.size() - kTail - 4, 4);
    for (const char* extension : {".dat", ".txt", ".jpg", ".mp4", ".avi"})
        if (written == extension) return true;
    return false;
}

bool removeUnheldFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened {}, named {};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                         ::lstat(path.c_str(), &named) == 0 && sameFile(opened, named);
    const bool removed = regular && holdWhileWriting(fd) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

bool holdWhileWriting(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    return true;
}

}  // namespace kalvento
