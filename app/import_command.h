#pragma once
// --import: the new contents folder made before (or instead of) playing.

#include "app/options.h"
#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

// Imports options.importPath and the words after the options into a new contents folder,
// each name taken relative to options.startDirectory, with Ctrl+C removing what was half
// made. The exit status: 0 when the folder was made. With --import-and-play the options are
// then set to play that folder, without the words (they are no files to copy any more).
int runImport(Options& options, FileOps& files, Console& console);

// Changes to the working directory `workdir` of an import, making it (and its parents) when
// it is missing, which is said on the console. False when it cannot be entered or made.
bool enterImportWorkdir(const std::string& workdir, FileOps& files, Console& console);

// `path` as seen from `directory` when it is relative.
std::string pathFrom(const std::string& directory, const std::string& path);

}  // namespace kalvento
