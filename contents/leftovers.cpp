#include "contents/leftovers.h"

#include <cctype>
#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/own_files.h"

namespace kalvento {

namespace {

// "S001", "S0012": a contents folder's name.
bool isFolderName(const std::string& name) {
    if (name.size() < 4 || name[0] != 'S') return false;
    for (size_t i = 1; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

// ".S001.import": the hidden folder of an import.
bool isImportFolderName(const std::string& name) {
    const std::string suffix = ".import";
    return name.size() > suffix.size() + 1 && name[0] == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           isFolderName(name.substr(1, name.size() - suffix.size() - 1));
}

// Removes the unheld temporaries of `folder`; the folders among `subfolders` it holds are
// returned for a look of their own.
int removeIn(const std::string& folder, FileOps& files, Console& console,
             std::vector<std::string>* subfolders) {
    std::optional<std::vector<std::string>> names = files.listFolder(folder);
    if (!names) return 0;
    int removed = 0;
    for (const std::string& name : *names) {
        const std::string path = folder + "/" + name;
        bool gone = false;
        if (isTemporaryName(name)) {
            gone = removeUnheldFile(path);
        } else if (subfolders != nullptr && isImportFolderName(name)) {
            gone = removeLeftoverFolder(path) == Leftover::Removed;
        } else if (subfolders != nullptr && (isFolderName(name) || name == "temp_for_mp4")) {
            subfolders->push_back(path);
        }
        if (!gone) continue;
        ++removed;
        console.print("kalvento: removed %s, left by a player that was killed\n",
                      printable(path).c_str());
    }
    return removed;
}

}  // namespace

int removeLeftovers(FileOps& files, Console& console) {
    std::vector<std::string> folders;
    int removed = removeIn(".", files, console, nullptr);
    removed += removeIn(kContentsRoot, files, console, &folders);
    for (const std::string& folder : folders) {
        removed += removeIn(folder, files, console, nullptr);
        std::optional<std::vector<std::string>> exports = files.listFolder(folder + "/export");
        if (!exports) continue;
        for (const std::string& name : *exports)
            if (isFolderName(name))
                removed += removeIn(folder + "/export/" + name, files, console, nullptr);
    }
    return removed;
}

}  // namespace kalvento
