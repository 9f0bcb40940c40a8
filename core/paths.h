#pragma once
// Names of the contents folders and of the files in and beside them. Numbers are formatted
// with blank-padded widths and every blank of the result then becomes '0', so folder 1 reads
// S001, clip 7 clip_00007.jpg and folder 12's frame data file frame_data0012.dat.

#include <string>
#include <string_view>

namespace kalvento {

// The contents root: the parent of the working directory.
inline constexpr const char* kContentsRoot = "..";

// Replaces every blank of `text` by '0'.
std::string zeroFill(std::string text);

// "S001" for dirNum 0: the name of contents folder dirNum + 1.
std::string folderName(int dirNum);
// "../S001" for dirNum 0.
std::string folderPath(int dirNum);
// "../S001/clip_00007.jpg" for dirNum 0 and clip file number 7.
std::string clipPath(int dirNum, int fileNumber);
// "/home/u/kalvento/S001" for dirNum 0 and the working directory "/home/u/kalvento/work": the
// full path of a contents folder, for messages.
std::string fullFolderPath(const std::string& workingDirectory, int dirNum);
// "../S001/check_result.txt".
std::string checkFilePath(int dirNum);
// "../S001/tcz_config.dat".
std::string folderConfigPath(int dirNum);
// "frame_data0001.dat", in the working directory.
std::string frameDataFileName(int dirNum);
// "qbn_env0001.dat", the parameter file of the folder, in the working directory; five-digit
// folder numbers give five digits.
std::string parameterFileName(int dirNum);

// `path` as a shell word to paste into a command: in single quotes, a quote in it written
// '\'' ("/x/my clips" gives '/x/my clips'). Control characters are shown as printable()
// shows them.
std::string shellQuoted(const std::string& path);

// A stored path as it can be opened here: '\' separators (files written on Windows) become '/'.
std::string openablePath(std::string_view storedPath);

}  // namespace kalvento
