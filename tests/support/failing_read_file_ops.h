#pragma once
// Real files whose reads fail part-way for the names a test chooses, as a disk error would:
// the file is there, but readFile cannot hand it on whole (nullopt).

#include <set>
#include <string>

#include "support/forwarding_file_ops.h"

namespace kalvento::test {

class FailingReadFileOps final : public ForwardingFileOps {
public:
    std::optional<std::string> readFile(const std::string& path, size_t maxBytes) override {
        if (failing.count(path) != 0) return std::nullopt;
        return real.readFile(path, maxBytes);
    }

    std::set<std::string> failing;
};

}  // namespace kalvento::test
