#include "app/startup.h"

#include <algorithm>

#include "app/import_command.h"

#include "core/numbered_copy.h"
#include "core/paths.h"

namespace kalvento {

namespace {

// The word cut to `limit` bytes, backing off so that no UTF-8 character is split.
std::string truncateWord(const std::string& word, size_t limit) {
    if (word.size() <= limit) return word;
    size_t length = limit;
    while (length > 0 && (static_cast<unsigned char>(word[length]) & 0xC0) == 0x80) --length;
    return word.substr(0, length);
}

// The command line as one text, with the words that hold a blank in double quotes.
std::string joinCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) line += ' ';
        bool quote = words[i].empty() || words[i].find_first_of(" \t") != std::string::npos;
        line += quote ? "\"" + words[i] + "\"" : words[i];
    }
    return line;
}

// Makes folder S001 for the files of the command line when it is missing; false (said on the
// console) when it cannot be made.
bool ensureFirstFolder(Io& io) {
    const std::string folder = folderPath(0);
    if (io.files.isDirectory(folder)) return true;
    const std::string full = fullFolderPath(io.files.currentDirectory(), 0);
    if (!io.files.exists(folder) && io.files.makeDirectory(folder)) {
        io.console.print("---> Created the contents folder %s\n", full.c_str());
        return true;
    }
    io.console.printErr("ERROR: The contents folder %s is missing and cannot be made\n",
                        full.c_str());
    return false;
}

}  // namespace

void printTitle(Console& console) {
    console.print("/////////////////////////////////////////////////////////////\n");
    console.print("//                                                         //\n");
    console.print("//     K A L V E N T O   P L A Y E R   Ver.1.0   //\n");
    console.print("//    ---------------------------------------------------  //\n");
    console.print("//         for  the  simple  but  sensible  reality        //\n");
    console.print("//                                                         //\n");
    console.print("//                                                         //\n");
    console.print("/////////////////////////////////////////////////////////////\n\n");
}

bool storeCommandLine(const std::vector<std::string>& words, CommandLineState& commandLine,
                      Console& console) {
    if (words.size() > static_cast<size_t>(kMaxArgWords)) {
        console.printErr(
            "ERROR: The command line has %zu words; at most %d (the program and %d files) are "
            "accepted. Nothing was imported.\n",
            words.size(), kMaxArgWords, kMaxArgWords - 1);
        return false;
    }
    console.print("%s\n", joinCommandLine(words).c_str());
    commandLine.ArgText.clear();
    size_t totalLength = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        console.print("[%zu]%s\n", i, words[i].c_str());
        commandLine.ArgText.push_back(truncateWord(words[i], kArgWordBytes));
        totalLength += commandLine.ArgText.back().size();
    }
    commandLine.ArgCount = static_cast<int>(words.size());
    console.print("\nTotal length of file name strings = %zu\n\n", totalLength);
    return true;
}

void importCommandLineImages(CommandLineState& commandLine, Io& io,
                             const std::string& startDirectory) {
    if (commandLine.ArgCount <= 1 || !ensureFirstFolder(io)) return;
    std::vector<std::string>& words = commandLine.ArgText;
    // std::string compares its bytes as unsigned char.
    std::sort(words.begin() + 1, words.begin() + commandLine.ArgCount);
    int clip = 0;
    for (int w = 1; w < commandLine.ArgCount; ++w) {
        const std::string& source = words[w];
        const std::string path = pathFrom(startDirectory, source);
        if (!io.files.exists(path)) {
            io.console.printErr("ERROR: Could not copy [ %s ]: %s does not exist\n",
                                source.c_str(), path.c_str());
            continue;
        }
        NumberedCopy copy = copyToFreeNumber(
            io.files, path, clip, [](int number) { return clipPath(0, number); },
            [&](const std::string& target) {
                std::string command = "copy @" + source + "@ " + target;
                std::replace(command.begin(), command.end(), '@', '"');
                io.console.print("EXECUTING: %s\n", command.c_str());
            });
        if (copy.number < 0) {
            io.console.printErr("ERROR: Could not copy [ %s ]: %s\n", source.c_str(),
                                copy.error.c_str());
            return;
        }
        if (copy.copied) {
            clip = copy.number + 1;
        } else {
            // The number stays free for the next file.
            io.console.printErr("ERROR: Could not copy [ %s ] to [ %s ]: %s\n", source.c_str(),
                                clipPath(0, copy.number).c_str(), copy.error.c_str());
            clip = copy.number;
        }
    }
}

std::optional<StartingClipText> startingClipOf(const std::string& word) {
    const size_t length = word.size();
    if (length < 16 || word[length - 16] != 'S' || word[length - 10] != '_') return std::nullopt;
    return StartingClipText{word.substr(length - 15, 5), word.substr(length - 9, 5)};
}

}  // namespace kalvento
