#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "platform/file_ops.h"
#include "platform/own_files.h"

namespace kalvento {
namespace {

// Writes all of `size` bytes, retrying short writes. False on error.
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (it can report a failed write).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Copies what `in` holds from its current offset to its end into `out`. False, with errno
// set, when a read or a write fails.
bool copyAll(int in, int out) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || !writeAll(out, buffer.data(), static_cast<size_t>(n))) return false;
        if (n == 0) return true;
    }
}

// The answers of link() on file systems without hard links (FAT, exFAT, some network shares).
bool linksRefused(int error) {
    return error == EPERM || error == ENOTSUP || error == ENOSYS || error == EXDEV;
}

// Copies the whole of `in` into the new file `to`, created exclusively (an existing file is
// left as it is: DestinationExists). A copy that fails is removed again.
CopyResult copyIntoNewFile(int in, const std::string& to) {
    CopyResult result;
    if (::lseek(in, 0, SEEK_SET) != 0) {
        result.setError(errno);
        return result;
    }
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0) {
        if (errno == EEXIST) result.status = CopyResult::DestinationExists;
        result.setError(errno);
        return result;
    }
    if (!copyAll(in, out.get()) || ::fsync(out.get()) != 0 || !out.close()) {
        result.setError(errno);
        ::unlink(to.c_str());
        return result;
    }
    result.status = CopyResult::Copied;
    return result;
}

// Creates a new file "path.tmpXXXXXX" (six random letters and digits) for writing, with the
// permission bits `mode` less the umask, as open() applies it. -1 with errno on failure.
int createTemporary(const std::string& path, mode_t mode, std::string& name) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp";
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        // Held while written: a later start removes only the temporaries nobody holds.
        if (fd >= 0) holdWhileWriting(fd);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool PosixFileOps::exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool PosixFileOps::isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileOps::isReadableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

CopyResult PosixFileOps::copyNew(const std::string& from, const std::string& to) {
    CopyResult result;
    // Not blocking: a FIFO under the name would wait for a writer in open().
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (in.get() < 0) {
        result.error = std::strerror(errno);
        return result;
    }
    struct stat st;
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = "not a regular file";
        return result;
    }
    ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
    // The copy is made under a temporary name beside the destination and then linked to its
    // name: link() fails when the name exists, so the destination is still created
    // exclusively, and a copy cut short (even by SIGKILL) never shows under the clip's name.
    std::string temp = to + ".tmpXXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    Fd out(::mkstemp(name.data()));
    if (out.get() < 0) {
        result.setError(errno);
        return result;
    }
    holdWhileWriting(out.get());
    ::fchmod(out.get(), 0644);
    if (!copyAll(in.get(), out.get()) || ::fsync(out.get()) != 0 || !out.close()) {
        result.setError(errno);
        ::unlink(name.data());
        return result;
    }
    const int linked = link_ ? link_(name.data(), to.c_str()) : ::link(name.data(), to.c_str());
    const int error = errno;
    ::unlink(name.data());
    if (linked == 0) {
        result.status = CopyResult::Copied;
    } else if (error == EEXIST) {
        result.status = CopyResult::DestinationExists;
        result.error = std::strerror(error);
    } else if (linksRefused(error)) {
        result = copyIntoNewFile(in.get(), to);
    } else {
        result.setError(error);
    }
    return result;
}

bool PosixFileOps::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::optional<std::vector<std::string>> PosixFileOps::listFolder(const std::string& path) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

bool PosixFileOps::removeFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

std::optional<unsigned long long> PosixFileOps::freeBytes(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
}

bool PosixFileOps::sameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool PosixFileOps::makeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0;
}

std::optional<std::string> PosixFileOps::readFile(const std::string& path, size_t maxBytes) {
    Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return std::nullopt;
    struct stat st;
    if (::fstat(in.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
    std::string data;
    data.resize(std::min(maxBytes, static_cast<size_t>(1) << 20));
    size_t used = 0;
    while (used < maxBytes) {
        if (used == data.size()) data.resize(std::min(maxBytes, data.size() * 2));
        ssize_t n = ::read(in.get(), data.data() + used, data.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;  // a read error is not the end of the file
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    data.resize(used);
    return data;
}

std::optional<std::string> PosixFileOps::writeTemporary(const std::string& path,
                                                        const std::string& data) {
    // The new file keeps the permissions of the one it replaces; a file made anew gets
    // 0666 less the umask, as any program's new file does.
    struct stat old;
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string name;
    Fd out(createTemporary(path, 0666, name));
    if (out.get() < 0) return std::nullopt;
    // A file system without permissions (FAT, exFAT) refuses the change: its files have none.
    if (replacing) (void)::fchmod(out.get(), old.st_mode & 07777);
    bool ok = writeAll(out.get(), data.data(), data.size()) && ::fsync(out.get()) == 0;
    ok = out.close() && ok;
    if (!ok) {
        ::unlink(name.c_str());
        return std::nullopt;
    }
    return name;
}

bool PosixFileOps::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileOps::writeFileAtomic(const std::string& path, const std::string& data) {
    std::optional<std::string> temporary = writeTemporary(path, data);
    if (!temporary) return false;
    if (rename(*temporary, path)) return true;
    ::unlink(temporary->c_str());
    return false;
}

std::string PosixFileOps::currentDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool PosixFileOps::changeDirectory(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

}  // namespace kalvento
