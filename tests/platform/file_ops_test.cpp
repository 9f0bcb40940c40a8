#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "support/forwarding_file_ops.h"
#include "support/temp_dir.h"
#include "support/unprivileged_child.h"

namespace kalvento::test {
namespace {

TEST(FileOps, CopyNeverOverwritesAndLeavesNoPartialFile) {
    ScopedTempDir dir;
    PosixFileOps files;
    writeFile(dir / "src", "new");
    writeFile(dir / "dst", "old");
    CopyResult exists = files.copyNew(dir / "src", dir / "dst");
    EXPECT_EQ(exists.status, CopyResult::DestinationExists);
    EXPECT_EQ(readFile(dir / "dst"), "old");
    CopyResult missing = files.copyNew(dir / "nothing", dir / "dst2");
    EXPECT_EQ(missing.status, CopyResult::Failed);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_FALSE(files.exists(dir / "dst2"));
    CopyResult folder = files.copyNew(dir.path(), dir / "dst3");
    EXPECT_EQ(folder.status, CopyResult::Failed);
    EXPECT_FALSE(files.exists(dir / "dst3"));
    CopyResult copied = files.copyNew(dir / "src", dir / "dst4");
    EXPECT_EQ(copied.status, CopyResult::Copied);
    EXPECT_EQ(readFile(dir / "dst4"), "new");
}

// The names in `dir` other than `keep`: temporaries left behind.
std::vector<std::string> strayNames(const ScopedTempDir& dir, std::vector<std::string> keep) {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        std::string name = entry.path().filename();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) stray.push_back(name);
    }
    return stray;
}

TEST(FileOps, WhereLinksAreRefusedCopiesStillNeverOverwrite) {
    for (int error : {EPERM, ENOTSUP, ENOSYS, EXDEV}) {
        SCOPED_TRACE(std::strerror(error));
        ScopedTempDir dir;
        PosixFileOps files(refusedLinks(error));
        writeFile(dir / "src", std::string(200000, 'n'));
        writeFile(dir / "dst", "old");
        EXPECT_EQ(files.copyNew(dir / "src", dir / "dst").status, CopyResult::DestinationExists);
        EXPECT_EQ(readFile(dir / "dst"), "old");
        CopyResult copied = files.copyNew(dir / "src", dir / "new");
        EXPECT_EQ(copied.status, CopyResult::Copied) << copied.error;
        EXPECT_EQ(readFile(dir / "new"), std::string(200000, 'n'));
        EXPECT_EQ(strayNames(dir, {"src", "dst", "new"}), std::vector<std::string>{});
    }
    // Any other refusal is a failed copy, with its reason and nothing left behind.
    ScopedTempDir dir;
    PosixFileOps files(refusedLinks(EIO));
    writeFile(dir / "src", "new");
    CopyResult failed = files.copyNew(dir / "src", dir / "dst");
    EXPECT_EQ(failed.status, CopyResult::Failed);
    EXPECT_EQ(failed.error, std::strerror(EIO));
    EXPECT_EQ(strayNames(dir, {"src"}), std::vector<std::string>{});
}

TEST(FileOps, WhereLinksAreRefusedAFailedCopyIsRemoved) {
    ScopedTempDir dir;
    writeFile(dir / "src", std::string(100000, 'n'));
    ::chmod(dir.path().c_str(), 0777);  // the child writes as nobody
    // The link call lowers the file size limit, so the copy made after its refusal fails half
    // way (the child's limit only).
    const int status = runUnprivileged([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        PosixFileOps files([](const char*, const char*) {
            struct rlimit limit = {50000, 50000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            errno = EPERM;
            return -1;
        });
        CopyResult copy = files.copyNew(dir / "src", dir / "dst");
        if (copy.status != CopyResult::Failed) return 1;
        return copy.error == std::strerror(EFBIG) ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(strayNames(dir, {"src"}), std::vector<std::string>{}) << "no partial copy";
}

TEST(FileOps, AtomicWriteReplacesWholeOrNothing) {
    ScopedTempDir dir;
    PosixFileOps files;
    writeFile(dir / "settings.dat", "old text");
    ASSERT_TRUE(files.writeFileAtomic(dir / "settings.dat", "new text"));
    EXPECT_EQ(readFile(dir / "settings.dat"), "new text");
    // A folder that cannot be written (for an unprivileged user: root writes anyway): the old
    // file stays whole and no temporary is left.
    std::filesystem::create_directories(dir / "locked");
    writeFile(dir / "locked/settings.dat", "kept");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((dir / "locked").c_str(), 0555);
    const int status = runUnprivileged([&] {
        if (::access((dir / "locked").c_str(), W_OK) == 0) return 3;
        return files.writeFileAtomic(dir / "locked/settings.dat", "lost") ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "the write must fail (3: the folder stays writable)";
    EXPECT_EQ(readFile(dir / "locked/settings.dat"), "kept");
    ::chmod((dir / "locked").c_str(), 0755);
    EXPECT_FALSE(files.writeFileAtomic(dir / "missing/settings.dat", "x"));
    size_t entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "settings.dat and locked/, no temporary file";
}

TEST(FileOps, AtomicWriteKeepsTheModeOfTheFileItReplaces) {
    ScopedTempDir dir;
    PosixFileOps files;
    for (mode_t mode : {0600, 0640, 0664, 0444}) {
        SCOPED_TRACE(mode);
        writeFile(dir / "settings.dat", "old");
        ::chmod((dir / "settings.dat").c_str(), mode);
        ASSERT_TRUE(files.writeFileAtomic(dir / "settings.dat", "new"));
        EXPECT_EQ(readFile(dir / "settings.dat"), "new");
        struct stat st;
        ASSERT_EQ(::stat((dir / "settings.dat").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        std::filesystem::remove(dir / "settings.dat");
    }
    // A new file: 0666 less the umask.
    for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
        SCOPED_TRACE(mask);
        const mode_t previous = ::umask(mask);
        const bool written = files.writeFileAtomic(dir / "new.dat", "x");
        ::umask(previous);
        ASSERT_TRUE(written);
        struct stat st;
        ASSERT_EQ(::stat((dir / "new.dat").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
        std::filesystem::remove(dir / "new.dat");
    }
}

TEST(FileOps, ReadsAreBounded) {
    ScopedTempDir dir;
    PosixFileOps files;
    writeFile(dir / "big", std::string(3 << 20, 'z'));
    auto head = files.readFile(dir / "big", 10);
    ASSERT_TRUE(head);
    EXPECT_EQ(*head, std::string(10, 'z'));
    auto whole = files.readFile(dir / "big", 100 << 20);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), size_t{3} << 20);
    EXPECT_FALSE(files.readFile(dir / "none", 10).has_value());
    EXPECT_FALSE(files.readFile(dir.path(), 10).has_value());
    EXPECT_TRUE(files.isDirectory(dir.path()));
    EXPECT_FALSE(files.isReadableFile(dir.path()));
    EXPECT_TRUE(files.isReadableFile(dir / "big"));
}

}  // namespace
}  // namespace kalvento::test
