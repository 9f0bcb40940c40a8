#include "platform/console.h"

#include <locale.h>

#include <cstdio>
#include <iostream>

#include <unistd.h>

namespace kalvento {

namespace {

// Formats in the "C" locale for as long as it lives (on this thread only), so that numbers are
// written with a decimal point whatever locale the process runs in: files and console lines are
// read back by programs.
class CNumbers {
public:
    CNumbers() : previous_(c_ ? ::uselocale(c_) : nullptr) {}
    ~CNumbers() {
        if (c_) ::uselocale(previous_);
        if (c_) ::freelocale(c_);
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t c_ = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    locale_t previous_;
};

}  // namespace

std::string vstrf(const char* format, va_list args) {
    CNumbers numbers;
    va_list copy;
    va_copy(copy, args);
    int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size <= 0) return {};
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(size));
    return text;
}

std::string strf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vstrf(format, args);
    va_end(args);
    return text;
}

void Console::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    out(vstrf(format, args));
    va_end(args);
}

void Console::printErr(const char* format, ...) {
    va_list args;
    va_start(args, format);
    err(vstrf(format, args));
    va_end(args);
}

void StdConsole::out(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void StdConsole::err(std::string_view text) {
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::optional<std::string> StdConsole::readLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool StdConsole::inputIsTerminal() const {
    return isatty(STDIN_FILENO) == 1;
}

}  // namespace kalvento
