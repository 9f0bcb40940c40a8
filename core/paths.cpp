#include "core/paths.h"

#include "platform/console.h"

namespace kalvento {

std::string zeroFill(std::string text) {
    for (char& c : text)
        if (c == ' ') c = '0';
    return text;
}

std::string folderName(int dirNum) {
    return zeroFill(strf("%c%3d", 'S', dirNum + 1));
}

std::string folderPath(int dirNum) {
    return std::string(kContentsRoot) + "/" + folderName(dirNum);
}

std::string clipPath(int dirNum, int fileNumber) {
    return folderPath(dirNum) + zeroFill(strf("/clip_%5d.jpg", fileNumber));
}

std::string fullFolderPath(const std::string& workingDirectory, int dirNum) {
    const size_t slash = workingDirectory.find_last_of('/');
    const std::string root =
        slash == std::string::npos ? std::string() : workingDirectory.substr(0, slash);
    return root + "/" + folderName(dirNum);
}

std::string checkFilePath(int dirNum) {
    return folderPath(dirNum) + "/check_result.txt";
}

std::string folderConfigPath(int dirNum) {
    return folderPath(dirNum) + "/tcz_config.dat";
}

std::string frameDataFileName(int dirNum) {
    return zeroFill(strf("frame_data%4d.dat", dirNum + 1));
}

std::string parameterFileName(int dirNum) {
    return zeroFill(strf("qbn_env%4d.dat", dirNum + 1));
}

std::string openablePath(std::string_view storedPath) {
    std::string path(storedPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string shellQuoted(const std::string& path) {
    std::string quoted = "'";
    for (char c : printable(path)) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace kalvento
