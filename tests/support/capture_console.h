#pragma once
// A console that keeps what was printed and answers questions from a prepared list of lines.
// It is the player's console (Events): listeners may join it as they join the real one.

#include <optional>
#include <string>
#include <string_view>

#include "core/events.h"

namespace kalvento::test {

// What a CaptureConsole prints into.
class CapturePrinter final : public Console {
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
    bool inputIsTerminal() const override { return terminal_; }

    std::string out_;
    std::string err_;
    std::string input_;
    bool terminal_ = false;
};

class CaptureConsole final : public Events {
public:
    CaptureConsole() : Events(printer_) {}

    const std::string& outText() const { return printer_.out_; }
    const std::string& errText() const { return printer_.err_; }
    void clear() {
        printer_.out_.clear();
        printer_.err_.clear();
    }
    void addInputLine(std::string line) { printer_.input_ += line + "\n"; }
    void setInputIsTerminal(bool terminal) { printer_.terminal_ = terminal; }

private:
    CapturePrinter printer_;
};

}  // namespace kalvento::test
