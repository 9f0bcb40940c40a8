#pragma once
// What the file system says about a file's content, to tell a file that stayed the same from
// one that was replaced or written.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kalvento {

// Equal identities of one path mean the file was neither replaced nor written in between (to
// the file system's time resolution).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanos = 0;
    std::int64_t changedNanos = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`; nullopt when it is missing or not regular.
std::optional<FileIdentity> fileIdentityOf(const std::string& path);

using FileIdentityFn = std::function<std::optional<FileIdentity>(const std::string& path)>;

}  // namespace kalvento
