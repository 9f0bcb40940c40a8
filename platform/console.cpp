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

namespace {

// The length of the well-formed UTF-8 character at `text[at]` that is not a C1 control; 0 for
// anything else.
size_t printableCharLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead >= 0x20 && lead < 0x7F) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4                                 ? 4
                                                                                   : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    if (lead == 0xC2 && byte(at + 1) < 0xA0) return 0;   // C1 controls
    if (lead == 0xE0 && byte(at + 1) < 0xA0) return 0;   // overlong
    if (lead == 0xF0 && byte(at + 1) < 0x90) return 0;   // overlong
    if (lead == 0xF4 && byte(at + 1) >= 0x90) return 0;  // past U+10FFFF
    return length;
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (const size_t length = printableCharLength(text, at); length > 0) {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
        out += escape;
        ++at;
    }
    return out;
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
