// The shared motion block on POSIX shared memory: opening, the layout of the motion values,
// the bytes that belong to others, and many processes writing at once.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "ipc/shared_motion.h"
#include "platform/shared_block.h"
#include "support/capture_console.h"
#include "support/unprivileged_child.h"

namespace kalvento {
namespace {

// A block name of this test's own, removed before and after.
class BlockName {
public:
    explicit BlockName(const std::string& what)
        : name_("kalvento_test_" + what + "_" + std::to_string(::getpid())) {
        ::shm_unlink(("/" + name_).c_str());
    }
    ~BlockName() { ::shm_unlink(("/" + name_).c_str()); }
    const std::string& operator*() const { return name_; }

private:
    std::string name_;
};

std::unique_ptr<PosixSharedBlock> openBlock(const std::string& name) {
    SharedBlockFailure failure = SharedBlockFailure::None;
    auto block = PosixSharedBlock::open(name, failure);
    EXPECT_EQ(failure, block ? SharedBlockFailure::None : SharedBlockFailure::Map);
    return block;
}

TEST(SharedBlock, SecondPlayerSeesTheFirstAndResetClearsOnlyTheMotion) {
    BlockName name("share");
    auto first = openBlock(*name);
    ASSERT_TRUE(first);
    BlockBytes copy{};
    readSharedMotion(*first, copy);
    EXPECT_EQ(copy, BlockBytes{}) << "a new block is zero-filled";
    // Another program keeps its own bytes after the motion values.
    first->exchange(copy, [](BlockBytes& bytes) {
        for (size_t i = kMotionBytes; i < kBlockBytes; ++i) bytes[i] = static_cast<uint8_t>(i);
    });
    publishMotion(*first, copy, 0, 500);
    auto second = openBlock(*name);
    ASSERT_TRUE(second);
    publishMotion(*second, copy, 1, 700);
    EXPECT_EQ(diffSumOf(copy), 1200);
    auto third = openBlock(*name);
    BlockBytes seen{};
    readSharedMotion(*third, seen);
    EXPECT_EQ(diffSumOf(seen), 1200);
    EXPECT_EQ(webCamOf(seen, 0), 500);
    EXPECT_EQ(webCamOf(seen, 1), 700);
    publishMotion(*third, seen, 32, 9999);  // no slot of its own: only the sum is rewritten
    EXPECT_EQ(diffSumOf(seen), 1200);
    resetSharedMotion(*third, seen);
    readSharedMotion(*first, copy);
    for (size_t i = 0; i < kMotionBytes; ++i) ASSERT_EQ(copy[i], 0) << i;
    for (size_t i = kMotionBytes; i < kBlockBytes; ++i)
        ASSERT_EQ(copy[i], static_cast<uint8_t>(i)) << "byte " << i << " belongs to others";
}

TEST(SharedBlock, LeftoverBlocksAreReusedWhenTheyFitAndRefusedOtherwise) {
    BlockName name("size");
    for (off_t size : {off_t{1024}, off_t{512}, off_t{2048}}) {
        int fd = ::shm_open(("/" + *name).c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        SharedBlockFailure failure = SharedBlockFailure::None;
        auto block = PosixSharedBlock::open(*name, failure);
        if (size == 1024) {
            EXPECT_TRUE(block) << "a block left behind by a crash is ours and fits";
            EXPECT_EQ(failure, SharedBlockFailure::None);
        } else {
            EXPECT_FALSE(block) << size;
            EXPECT_EQ(failure, SharedBlockFailure::Map);
        }
        ::shm_unlink(("/" + *name).c_str());
    }
    SharedBlockFailure failure = SharedBlockFailure::None;
    EXPECT_FALSE(PosixSharedBlock::open("no/such/name", failure));
    EXPECT_EQ(failure, SharedBlockFailure::Open);
}

TEST(SharedBlock, ABlockOfAnotherUserIsRefusedWithItsOwner) {
    constexpr uint32_t kNobody = 65534;
    ASSERT_EQ(::geteuid(), 0u) << "the tests run as root, which can give a block away";
    // Made by another user first (here: made and given away), readable and writable by all:
    // it still is not this user's.
    BlockName name("owner");
    int fd = ::shm_open(("/" + *name).c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchmod(fd, 0666), 0);
    ASSERT_EQ(::fchown(fd, kNobody, kNobody), 0);
    ASSERT_EQ(::ftruncate(fd, kBlockBytes), 0);
    ::close(fd);
    SharedBlockFailure failure = SharedBlockFailure::None;
    uint32_t owner = 0;
    EXPECT_FALSE(PosixSharedBlock::open(*name, failure, nullptr, &owner));
    EXPECT_EQ(failure, SharedBlockFailure::OtherOwner);
    EXPECT_EQ(owner, kNobody);

    // Another user's block that this one may not even open (mode 0600): the owner still shows.
    BlockName rootOwned("rootowned");
    fd = ::shm_open(("/" + *rootOwned).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const int status = test::runUnprivileged([&] {
        SharedBlockFailure refused = SharedBlockFailure::None;
        uint32_t by = kNobody;
        bool opened = PosixSharedBlock::open(*rootOwned, refused, nullptr, &by) != nullptr;
        return !opened && refused == SharedBlockFailure::OtherOwner && by == 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

// The descriptor of this process that is open on /dev/shm/NAME, or -1.
int blockDescriptor(const std::string& name) {
    for (int fd = 0; fd < 1024; ++fd) {
        char target[256];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == "/dev/shm/" + name) return fd;
    }
    return -1;
}

TEST(SharedBlock, ExchangeThatCannotLockIsSkippedAndReportedOnce) {
    BlockName name("nolock");
    auto other = openBlock(*name);
    ASSERT_TRUE(other);
    BlockBytes copy{};
    publishMotion(*other, copy, 3, 300);
    test::CaptureConsole console;
    SharedBlockFailure failure = SharedBlockFailure::None;
    auto broken = PosixSharedBlock::open(*name, failure, &console);
    ASSERT_TRUE(broken);
    // Only this block's descriptor is left open on the name (the other block's is closed
    // below): swapping an O_PATH descriptor in makes every flock on it fail with EBADF.
    other.reset();
    int fd = blockDescriptor(*name);
    ASSERT_GE(fd, 0);
    int pathOnly = ::open("/", O_PATH | O_CLOEXEC);
    ASSERT_GE(pathOnly, 0);
    ASSERT_EQ(::dup2(pathOnly, fd), fd);
    ::close(pathOnly);

    BlockBytes seen{};
    seen[0] = 0xAB;
    EXPECT_FALSE(broken->exchange(seen, nullptr)) << "nothing is read unlocked";
    EXPECT_EQ(seen[0], 0xAB) << "the copy is left as it was";
    publishMotion(*broken, copy, 4, 400);
    resetSharedMotion(*broken, copy);
    EXPECT_EQ(console.errText(),
              "ERROR: The shared memory block cannot be locked (Bad file descriptor); motion "
              "values are not exchanged while it stays so.\n");

    auto reader = openBlock(*name);
    ASSERT_TRUE(reader);
    readSharedMotion(*reader, seen);
    EXPECT_EQ(webCamOf(seen, 3), 300) << "the reset was not done without the lock";
    EXPECT_EQ(webCamOf(seen, 4), 0) << "the publication was not done without the lock";
    EXPECT_EQ(diffSumOf(seen), 300);
}

TEST(SharedBlock, ManyProcessesPublishingLoseNoUpdate) {
    BlockName name("hammer");
    auto parent = openBlock(*name);
    ASSERT_TRUE(parent);
    constexpr int kPlayers = 6;
    constexpr int kTurns = 50000;
    // All players start at one moment: they wait until the parent closes this pipe.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int player = 0; player < kPlayers; ++player) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            while (::read(gate[0], &byte, 1) > 0) {
            }
            // Each child is a player with camera number 2 * player; every read it makes must
            // show a total equal to the sum of the slots and its own last value in its slot.
            SharedBlockFailure failure = SharedBlockFailure::None;
            auto block = PosixSharedBlock::open(*name, failure);
            if (!block) ::_exit(2);
            BlockBytes copy{};
            int slot = 2 * player;
            for (int turn = 1; turn <= kTurns; ++turn) {
                int32_t value = player * 100000 + turn;
                publishMotion(*block, copy, slot, value);
                if (webCamOf(copy, slot) != value) ::_exit(3);
                readSharedMotion(*block, copy);
                int32_t sum = 0;
                for (int s = 0; s < kWebCamSlots; ++s) sum += webCamOf(copy, s);
                if (sum != diffSumOf(copy) || webCamOf(copy, slot) != value) ::_exit(4);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a player saw a lost update (" << WEXITSTATUS(status) << ")";
    }
    BlockBytes final{};
    readSharedMotion(*parent, final);
    int32_t expectedSum = 0;
    for (int slot = 0; slot < kWebCamSlots; ++slot) {
        int32_t expected = slot % 2 == 0 && slot / 2 < kPlayers ? (slot / 2) * 100000 + kTurns : 0;
        EXPECT_EQ(webCamOf(final, slot), expected) << "slot " << slot;
        expectedSum += expected;
    }
    EXPECT_EQ(diffSumOf(final), expectedSum);
}

}  // namespace
}  // namespace kalvento
