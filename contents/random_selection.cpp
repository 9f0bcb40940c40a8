#include "contents/random_selection.h"

#include <string>

#include "core/paths.h"
#include "platform/console.h"

namespace kalvento {

namespace {

constexpr int kProbeLimit = 22000;  // clip numbers probed: 0 .. 21999

// "[S  7] FILE [ name ] exists!" (the folder number blank-padded, not zero-filled).
void printFound(Console& console, int folderNo, const std::string& name) {
    console.print("[%c%3d] ", 'S', folderNo);
    console.print("FILE [ %s ] exists!\n", name.c_str());
}

// The first of the folder's property files that opens, or "" when none does.
std::string firstPropertyFile(int dirNum, FileOps& files) {
    const std::string names[] = {parameterFileName(dirNum), frameDataFileName(dirNum),
                                 clipPath(dirNum, 0), checkFilePath(dirNum)};
    for (const std::string& name : names)
        if (files.isReadableFile(name)) return name;
    return {};
}

// Probes the clip numbers of folder `dirNum` with random steps of 1 .. folder number, from 0
// up to the probe limit. The clip number found, or -1.
int probeClips(int dirNum, FileOps& files, Random& random) {
    // Without its directory a folder has no clip: the thousands of probes would all miss.
    if (!files.isDirectory(folderPath(dirNum))) return -1;
    const int folderNo = dirNum + 1;
    for (int k = 0; k < kProbeLimit; k += 1 + random.next() % folderNo)
        if (files.exists(clipPath(dirNum, k))) return k;
    return -1;
}

}  // namespace

void scanCandidateFolders(SelectionState& selection, int currentDirNum, Io& io, Random& random) {
    Console& console = io.console;
    console.print("\n*** Following is the list of contents with any property files: \n\n");
    selection.ContentsList.clear();
    bool foundByProbe = false;  // the list then needs one more scan to be reusable
    for (int folderNo = 1; folderNo <= kCandidateFolders; ++folderNo) {
        const int dirNum = folderNo - 1;
        std::string property = firstPropertyFile(dirNum, io.files);
        if (!property.empty()) {
            printFound(console, folderNo, property);
            selection.ContentsList.push_back(dirNum);
        } else if (int clip = probeClips(dirNum, io.files, random); clip >= 0) {
            printFound(console, folderNo, clipPath(dirNum, clip));
            selection.ContentsList.push_back(dirNum);
            foundByProbe = true;
            // The marker only spares later scans the probe; a folder where it cannot be
            // written is still a candidate.
            const std::string marker = checkFilePath(dirNum);
            if (io.files.writeFileAtomic(marker, strf("FOUND: clip_%5d.jpg\n", clip)))
                console.print("*** Created a file[ %s ] ***\n", marker.c_str());
        }
        if (dirNum == currentDirNum) {
            console.print("       ");
            console.print("<<< You Are Here Now >>>\n");
        }
    }
    if (!foundByProbe && !selection.ContentsList.empty()) selection.ContentsListReady = 1;
}

}  // namespace kalvento
