#include "core/read_whole.h"

namespace kalvento {

std::optional<std::string> readWholeFile(FileOps& files, Console& console, const std::string& path,
                                         size_t maxBytes) {
    std::optional<std::string> data = files.readFile(path, maxBytes);
    if (!data && files.isReadableFile(path))
        console.printErr("ERROR: Could not read [ %s ] to its end; nothing of it was used.\n",
                         path.c_str());
    return data;
}

}  // namespace kalvento
