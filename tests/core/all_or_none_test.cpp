// A set of files that belong together is replaced whole or not at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/all_or_none.h"
#include "support/forwarding_file_ops.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

// Real files, except that the `failing`-th temporary write (counted from 1) fails, and a rename
// fails when `failRename` names its destination.
class FailingNthWrite final : public ForwardingFileOps {
public:
    std::optional<std::string> writeTemporary(const std::string& path,
                                              const std::string& data) override {
        if (++writes == failing) return std::nullopt;
        return real.writeTemporary(path, data);
    }
    bool rename(const std::string& from, const std::string& to) override {
        if (to == failRename) return false;
        return real.rename(from, to);
    }
    int failing = 0;
    int writes = 0;
    std::string failRename;
};

std::vector<std::string> namesIn(const ScopedTempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AllOrNone, AFailedWriteReplacesNoneAndLeavesNoTemporary) {
    ScopedTempDir dir;
    const std::vector<std::string> paths = {dir / "a", dir / "b", dir / "c"};
    for (const std::string& path : paths) writeFile(path, "old");
    const std::vector<FileContents> contents = {
        {paths[0], "new a"}, {paths[1], "new b"}, {paths[2], "new c"}};
    for (int failing : {1, 2, 3}) {
        SCOPED_TRACE(failing);
        FailingNthWrite files;
        files.failing = failing;
        AllOrNone result = replaceAllOrNone(files, contents);
        EXPECT_FALSE(result.replaced);
        EXPECT_EQ(result.failed, paths[static_cast<size_t>(failing - 1)]);
        EXPECT_EQ(result.renamed, 0u);
        EXPECT_EQ(files.writes, failing) << "no write after the failed one";
        for (const std::string& path : paths) EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "b", "c"}));
    }
    FailingNthWrite files;
    AllOrNone result = replaceAllOrNone(files, contents);
    EXPECT_TRUE(result.replaced);
    EXPECT_EQ(result.renamed, 3u);
    EXPECT_EQ(readFile(paths[1]), "new b");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(AllOrNone, AFailedRenameIsReportedWithWhatWasRenamedBefore) {
    ScopedTempDir dir;
    for (const char* name : {"a", "b", "c"}) writeFile(dir / name, "old");
    FailingNthWrite files;
    files.failRename = dir / "b";
    AllOrNone result =
        replaceAllOrNone(files, {{dir / "a", "new"}, {dir / "b", "new"}, {dir / "c", "new"}});
    EXPECT_FALSE(result.replaced);
    EXPECT_EQ(result.failed, dir / "b");
    EXPECT_EQ(result.renamed, 1u);
    EXPECT_EQ(readFile(dir / "a"), "new");
    EXPECT_EQ(readFile(dir / "b"), "old");
    EXPECT_EQ(readFile(dir / "c"), "old");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "b", "c"})) << "no temporary left";
}

}  // namespace
}  // namespace kalvento::test
