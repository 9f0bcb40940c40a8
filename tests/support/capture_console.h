#pragma once
// A console that keeps what was printed and answers questions from a prepared list of lines.

#include <optional>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace kalvento::test {

class CaptureConsole final : public Console {
public:
    void out(std::string_view text) override { out_ += text; }
    void err(std::string_view text) override { err_ += text; }
    std::optional<std::string> readLine() override {
        if (input_.empty()) return std::nullopt;
        size_t end = input_.find('\n');
        std::string line = input_.substr(0, end);
        input_.erase(0, end == std::string::npos ? input_.size() : end + 1);
        return line;
    }

    const std::string& outText() const { return out_; }
    const std::string& errText() const { return err_; }
    void clear() {
        out_.clear();
        err_.clear();
    }
    void addInputLine(std::string line) { input_ += line + "\n"; }
    bool inputIsTerminal() const override { return terminal_; }
    void setInputIsTerminal(bool terminal) { terminal_ = terminal; }

private:
    std::string out_;
    std::string err_;
    std::string input_;
    bool terminal_ = false;
};

}  // namespace kalvento::test
