#pragma once
// Real files (PosixFileOps) with a count of the existence tests, so tests can tell how many
// clip files an operation probed.

#include "support/forwarding_file_ops.h"

namespace kalvento::test {

class CountingFileOps final : public ForwardingFileOps {
public:
    bool exists(const std::string& path) override {
        ++existsCalls;
        return real.exists(path);
    }

    int existsCalls = 0;
};

}  // namespace kalvento::test
