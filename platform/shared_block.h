#pragma once
// The named 1024-byte block of shared memory through which the players of one machine share
// their motion. Every access copies the whole block under an exclusive lock, so that players
// never lose each other's updates.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kalvento {

inline constexpr size_t kBlockBytes = 1024;
using BlockBytes = std::array<uint8_t, kBlockBytes>;

enum class SharedBlockFailure { None, Open, Map };

class SharedBlock {
public:
    virtual ~SharedBlock() = default;
    // Copies the block into `copy` under the lock; when `change` is given it is applied to
    // `copy`, which is then copied back over the whole block before the lock is released.
    virtual void exchange(BlockBytes& copy,
                          const std::function<void(BlockBytes&)>& change = nullptr) = 0;
};

// POSIX shared memory "/NAME" (so /dev/shm/NAME), mode 0600, locked with flock.
class PosixSharedBlock final : public SharedBlock {
public:
    // Opens or creates the block. An existing object that is not 1024 bytes (or 0 bytes, just
    // created by another player) or belongs to another user is refused as a Map failure.
    static std::unique_ptr<PosixSharedBlock> open(const std::string& name,
                                                  SharedBlockFailure& failure);
    ~PosixSharedBlock() override;
    void exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) override;

private:
    PosixSharedBlock(int fd, uint8_t* view) : fd_(fd), view_(view) {}
    int fd_;
    uint8_t* view_;
};

// A block in this process's memory, for tests.
class MemorySharedBlock final : public SharedBlock {
public:
    void exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) override {
        copy = bytes;
        if (change) {
            change(copy);
            bytes = copy;
        }
    }
    BlockBytes bytes{};
};

}  // namespace kalvento
