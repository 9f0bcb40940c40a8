#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_ops.h"
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
