#include "core/paths.h"

#include "platform/console.h"

namespace kalvento {

std::string zeroFill(std::string text) {
    for (char& c : text)
        if (c == ' ') c = '0';
    return text;
}

std::string folderPath(int dirNum) {
    return zeroFill(strf("%s/%c%3d", kContentsRoot, 'S', dirNum + 1));
}

std::string clipPath(int dirNum, int fileNumber) {
    return zeroFill(strf("%s/%c%3d/clip_%5d.jpg", kContentsRoot, 'S', dirNum + 1, fileNumber));
}

std::string checkFilePath(int dirNum) {
    return zeroFill(strf("%s/%c%3d/check_result.txt", kContentsRoot, 'S', dirNum + 1));
}

std::string folderConfigPath(int dirNum) {
    return zeroFill(strf("%s/%c%3d/tcz_config.dat", kContentsRoot, 'S', dirNum + 1));
}

std::string frameDataFileName(int dirNum) {
    return zeroFill(strf("frame_data%4d.dat", dirNum + 1));
}

std::string openablePath(std::string_view storedPath) {
    std::string path(storedPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace kalvento
