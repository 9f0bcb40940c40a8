#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/shared_block.h"

namespace kalvento {

namespace {

// Holds flock(LOCK_EX) on the descriptor for its lifetime, when it could be taken: a wait
// interrupted by a signal is taken up again, any other failure leaves it unlocked (held()
// false, errno telling why).
class ExclusiveLock {
public:
    explicit ExclusiveLock(int fd) : fd_(fd) {
        int result;
        do {
            result = ::flock(fd_, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        held_ = result == 0;
    }
    ~ExclusiveLock() {
        if (held_) ::flock(fd_, LOCK_UN);
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

}  // namespace

std::unique_ptr<PosixSharedBlock> PosixSharedBlock::open(const std::string& name,
                                                         SharedBlockFailure& failure,
                                                         Console* reports, uint32_t* owner) {
    std::string path = "/" + name;
    int fd = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct stat st;
    if (fd < 0) {
        // Refused: most likely another user's block, which the file system shows.
        failure = SharedBlockFailure::Open;
        if ((errno == EACCES || errno == EPERM) && ::stat(("/dev/shm" + path).c_str(), &st) == 0 &&
            st.st_uid != ::geteuid()) {
            failure = SharedBlockFailure::OtherOwner;
            if (owner != nullptr) *owner = st.st_uid;
        }
        return nullptr;
    }
    if (::fstat(fd, &st) == 0 && st.st_uid != ::geteuid()) {
        ::close(fd);
        failure = SharedBlockFailure::OtherOwner;
        if (owner != nullptr) *owner = st.st_uid;
        return nullptr;
    }
    failure = SharedBlockFailure::Map;
    bool usable = false;
    {
        ExclusiveLock lock(fd);
        if (lock.held() && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
            if (st.st_size == 0)
                usable = ::ftruncate(fd, kBlockBytes) == 0;  // new: zero-filled
            else
                usable = st.st_size == static_cast<off_t>(kBlockBytes);
        }
    }
    if (!usable) {
        ::close(fd);
        return nullptr;
    }
    void* view = ::mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    failure = SharedBlockFailure::None;
    return std::unique_ptr<PosixSharedBlock>(
        new PosixSharedBlock(fd, static_cast<uint8_t*>(view), reports));
}

PosixSharedBlock::~PosixSharedBlock() {
    ::munmap(view_, kBlockBytes);
    ::close(fd_);
}

bool PosixSharedBlock::exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) {
    ExclusiveLock lock(fd_);
    if (!lock.held()) {
        // Unlocked, a read-modify-write could undo another player's update: skip it.
        if (!lockFailureReported_ && reports_ != nullptr)
            reports_->printErr(
                "ERROR: The shared memory block cannot be locked (%s); motion values are not "
                "exchanged while it stays so.\n",
                std::strerror(errno));
        lockFailureReported_ = true;
        return false;
    }
    std::memcpy(copy.data(), view_, kBlockBytes);
    if (change) {
        change(copy);
        std::memcpy(view_, copy.data(), kBlockBytes);
    }
    return true;
}

}  // namespace kalvento
