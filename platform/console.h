#pragma once
// The one console writer. Every line the player prints goes through a Console, so tests can
// capture the exact text.

#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>

namespace kalvento {

class Console {
public:
    virtual ~Console() = default;

    virtual void out(std::string_view text) = 0;  // standard output
    virtual void err(std::string_view text) = 0;  // error stream

    // A line typed on standard input for the player's console questions, without its line
    // end; nullopt at end of input.
    virtual std::optional<std::string> readLine() = 0;
    // True when standard input is a terminal, so that a person can answer a wait for input;
    // an unattended player (input from a pipe, a file or nothing) must not wait on it.
    virtual bool inputIsTerminal() const { return false; }

    // printf-style output on standard output / the error stream.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void printErr(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// printf-style formatting into a std::string.
std::string strf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vstrf(const char* format, va_list args);

// Text that came from outside (the network, a file) made safe to print on a terminal: control
// characters (C0, DEL, and the C1 range U+0080..U+009F) and bytes that are not UTF-8 are
// written as \xNN escapes, so no escape sequence reaches the terminal. Printable UTF-8 stays.
std::string printable(std::string_view text);

// The process's standard streams. Output is flushed at every call, so the console shows each
// message as it is printed even when stdout is a pipe.
class StdConsole final : public Console {
public:
    void out(std::string_view text) override;
    void err(std::string_view text) override;
    std::optional<std::string> readLine() override;
    bool inputIsTerminal() const override;
};

}  // namespace kalvento
