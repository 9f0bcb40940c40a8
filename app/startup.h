#pragma once
// The start of the player: banner, working directory, the command line and the import of the
// image files named on it.

#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/io.h"

namespace kalvento {

// The program's title block, printed first at start-up.
void printTitle(Console& console);

// Echoes the command line and each of its words, stores the words (each cut to at most
// kArgWordBytes bytes, never inside a UTF-8 character) and prints their total length.
// False, with a message on the error stream and nothing stored, when there are more than
// kMaxArgWords words.
bool storeCommandLine(const std::vector<std::string>& words, CommandLineState& commandLine,
                      Console& console);

// Copies the files named after the program path into folder S001 as new clips, in byte-wise
// sorted order (the stored words are sorted in place), each into the lowest free clip number
// from the previous one on. An existing clip is never overwritten, even when another process
// creates it at the same moment. Prints the copy command of each copy; a failed copy is
// reported and leaves its clip number free for the next file. Relative names are taken from
// `startDirectory` (where the program was started; empty: the current directory); a missing
// file is named and skipped. S001 is made when missing.
void importCommandLineImages(CommandLineState& commandLine, Io& io,
                             const std::string& startDirectory = {});

// The folder and clip texts of a first word that ends like S00003_00150.jpg (at least 16
// bytes, 'S' 16th and '_' 10th from the end): the five characters after the 'S' and the five
// after the '_', whatever they are. nullopt for any other word.
struct StartingClipText {
    std::string folder;
    std::string frame;
};
std::optional<StartingClipText> startingClipOf(const std::string& word);

}  // namespace kalvento
