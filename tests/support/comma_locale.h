#pragma once
// A locale that writes numbers with a decimal comma (de_DE.UTF-8), generated with localedef
// into a folder of the test process's own: no locale of the machine is needed or changed.

#include <stdexcept>
#include <string>

#include "support/run_player.h"
#include "support/temp_dir.h"

namespace kalvento::test {

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

// The folder to give as LOCPATH for kCommaLocale; made at the first call of the process.
// Throws when localedef (Debian package locales) cannot make it.
inline const std::string& commaLocalePath() {
    static const ScopedTempDir folder;
    static const std::string path = [] {
        RunResult made =
            runProgram("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", folder / kCommaLocale},
                       folder.path());
        if (made.status != 0)
            throw std::runtime_error("localedef could not make " + std::string(kCommaLocale) +
                                     ": " + made.err);
        return folder.path();
    }();
    return path;
}

}  // namespace kalvento::test
