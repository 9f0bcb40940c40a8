#include "platform/file_identity.h"

#include <sys/stat.h>

namespace kalvento {

std::optional<FileIdentity> fileIdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::int64_t>(info.st_size);
    identity.modifiedNanos =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNanos =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

}  // namespace kalvento
