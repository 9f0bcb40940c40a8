#include "app/import_command.h"

#include "contents/import.h"
#include "platform/interrupt_flag.h"

namespace kalvento {

std::string pathFrom(const std::string& directory, const std::string& path) {
    if (path.empty() || path[0] == '/' || directory.empty()) return path;
    return directory + "/" + path;
}

namespace {

// True (said on the console otherwise) when every relative name can be taken from the
// directory the command started in: it cannot when that directory was removed.
bool namesResolvable(const std::string& startDirectory, const std::vector<std::string>& names,
                     Console& console) {
    if (!startDirectory.empty()) return true;
    for (const std::string& name : names) {
        if (!name.empty() && name[0] == '/') continue;
        console.printErr(
            "kalvento --import: %s is a relative name and the directory it is taken from "
            "cannot be found (was it removed?); nothing was imported.\n",
            printable(name).c_str());
        return false;
    }
    return true;
}

}  // namespace

bool enterImportWorkdir(const std::string& workdir, FileOps& files, Console& console) {
    if (workdir.empty() || files.changeDirectory(workdir)) return true;
    if (files.exists(workdir)) return false;
    std::string made;
    for (size_t slash = workdir.find('/', 1); ; slash = workdir.find('/', slash + 1)) {
        const std::string part = workdir.substr(0, slash);
        if (!part.empty() && !files.isDirectory(part) && !files.makeDirectory(part)) return false;
        if (slash == std::string::npos) break;
    }
    if (!files.changeDirectory(workdir)) return false;
    console.print("kalvento: made the working directory %s\n",
                  printable(files.currentDirectory()).c_str());
    return true;
}

int runImport(Options& options, FileOps& files, Console& console) {
    ImportRequest request;
    request.folderNumber = options.importFolder;
    std::vector<std::string> names{options.importPath};
    for (size_t i = 1; i < options.words.size(); ++i) names.push_back(options.words[i]);
    if (!namesResolvable(options.startDirectory, names, console)) return 1;
    for (const std::string& name : names)
        request.paths.push_back(pathFrom(options.startDirectory, name));
    PosixProcessRunner processes;
    TurboJpegLoader images;
    OpenCvJpegWriter jpeg;
    ImportTools tools{files, processes, images, jpeg, console, &interruptRequested};
    catchInterrupt();
    const ImportResult result = importContents(request, tools);
    releaseInterrupt();
    if (result.status == 0 && options.importAndPlay) {
        options.playFolder = result.folderNumber;
        options.words.resize(1);
    }
    return result.status;
}

}  // namespace kalvento
