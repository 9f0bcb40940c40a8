#pragma once
// What a killed player leaves: the temporary files of its writes ("NAME.tmpXXXXXX": settings
// and frame data files, home-folder copies, movies being encoded, clips being copied) and the
// hidden folder of an import cut short (".SNNN.import"). A writer holds its temporary while it
// writes (platform/own_files.h), so those nobody holds are a dead run's and can go; those of
// another player at work are held and stay.

#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

// Removes the leftovers nobody holds in the folders the player writes: the working directory,
// the contents root (the home folder and the movies), its contents folders SNNN, their
// "export" folders and the movie work folder; says each one removed. Never follows a link
// and touches no other name. The number removed.
int removeLeftovers(FileOps& files, Console& console);

}  // namespace kalvento
