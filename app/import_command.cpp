#include "app/import_command.h"

#include "contents/import.h"
#include "platform/interrupt_flag.h"

namespace kalvento {

std::string pathFrom(const std::string& directory, const std::string& path) {
    if (path.empty() || path[0] == '/' || directory.empty()) return path;
    return directory + "/" + path;
}

int runImport(Options& options, FileOps& files, Console& console) {
    ImportRequest request;
    request.folderNumber = options.importFolder;
    request.paths.push_back(pathFrom(options.startDirectory, options.importPath));
    for (size_t i = 1; i < options.words.size(); ++i)
        request.paths.push_back(pathFrom(options.startDirectory, options.words[i]));
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
