#pragma once
// Reading a settings or data file whole, or not at all.

#include <cstddef>
#include <optional>
#include <string>

#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

// Reads at most `maxBytes` bytes of the file `path`. nullopt when it is no readable file (a
// missing file, a folder), or when it is one but cannot be read to its end: then the console
// has been told so, and the caller keeps the values it has (a file cut short by a read error
// is never taken for a whole one).
std::optional<std::string> readWholeFile(FileOps& files, Console& console, const std::string& path,
                                         size_t maxBytes);

}  // namespace kalvento
