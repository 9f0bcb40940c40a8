#pragma once
// A process runner that records every argument vector it is asked to run and answers with
// `status`; only the paths in `executables` are executable.

#include <string>
#include <vector>

#include "platform/process_runner.h"

namespace kalvento::test {

class FakeProcessRunner final : public ProcessRunner {
public:
    int run(const std::vector<std::string>& argv) override {
        ran.push_back(argv);
        return status;
    }
    bool isExecutable(const std::string& path) override {
        for (const std::string& executable : executables)
            if (executable == path) return true;
        return false;
    }
    std::vector<std::vector<std::string>> ran;
    std::vector<std::string> executables;
    int status = 0;
};

}  // namespace kalvento::test
