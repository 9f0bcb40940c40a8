#pragma once
// The named 1024-byte block of shared memory through which the players of one machine share
// their motion. Every access copies the whole block under an exclusive lock, so that players
// never lose each other's updates.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/console.h"

namespace kalvento {

inline constexpr size_t kBlockBytes = 1024;
using BlockBytes = std::array<uint8_t, kBlockBytes>;

// OtherOwner: the block exists and belongs to another user (who may have made it to keep the
// players from starting); its owner is reported with it.
enum class SharedBlockFailure { None, Open, Map, OtherOwner };

class SharedBlock {
public:
    virtual ~SharedBlock() = default;
    // Copies the block into `copy` under the lock; when `change` is given it is applied to
    // `copy`, which is then copied back over the whole block before the lock is released.
    // False when the lock cannot be taken: then nothing is read or written and `copy` is
    // unchanged.
    virtual bool exchange(BlockBytes& copy,
                          const std::function<void(BlockBytes&)>& change = nullptr) = 0;
};

// POSIX shared memory "/NAME" (so /dev/shm/NAME), mode 0600, locked with flock.
class PosixSharedBlock final : public SharedBlock {
public:
    // Opens or creates the block. An existing object that belongs to another user is refused
    // as OtherOwner, with its owner's uid in `owner` (when given); one that is not 1024 bytes
    // (or 0 bytes, just created by another player) or cannot be locked is refused as a Map
    // failure. The first exchange that cannot take the lock is reported on `reports` (when
    // given, it must outlive the block).
    static std::unique_ptr<PosixSharedBlock> open(const std::string& name,
                                                  SharedBlockFailure& failure,
                                                  Console* reports = nullptr,
                                                  uint32_t* owner = nullptr);
    ~PosixSharedBlock() override;
    bool exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) override;

private:
    PosixSharedBlock(int fd, uint8_t* view, Console* reports)
        : fd_(fd), view_(view), reports_(reports) {}
    int fd_;
    uint8_t* view_;
    Console* reports_;
    bool lockFailureReported_ = false;
};

// A block in this process's memory: the player's own when no shared block is opened (an
// embedded player, a measurement before the loop starts).
class MemorySharedBlock final : public SharedBlock {
public:
    bool exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) override {
        copy = bytes;
        if (change) {
            change(copy);
            bytes = copy;
        }
        return true;
    }
    BlockBytes bytes{};
};

}  // namespace kalvento
