#pragma once
// Real files, except that another player wins the race between a copy's test for a free name
// and the copy itself: just before each of the next `racing` copies whose destination begins
// with `prefix`, it writes `text` to that destination.

#include <string>
#include <vector>

#include "support/forwarding_file_ops.h"
#include "support/temp_dir.h"

namespace kalvento::test {

class RacingFileOps final : public ForwardingFileOps {
public:
    RacingFileOps(int racing, std::string text, std::string prefix = "",
                  PosixFileOps::LinkCall link = {})
        : ForwardingFileOps(std::move(link)),
          racing(racing),
          text_(std::move(text)),
          prefix_(std::move(prefix)) {}

    CopyResult copyNew(const std::string& from, const std::string& to) override {
        if (racing > 0 && to.rfind(prefix_, 0) == 0) {
            --racing;
            writeFile(to, text_);
            taken.push_back(to);
        }
        return real.copyNew(from, to);
    }

    int racing;
    std::vector<std::string> taken;  // the destinations the other player took

private:
    std::string text_;
    std::string prefix_;
};

}  // namespace kalvento::test
