#include "support/workspace.h"

#include <filesystem>
#include <numeric>
#include <stdexcept>

#include "tools/demo_contents.h"

namespace kalvento::test {

Workspace::Workspace() {
    std::filesystem::create_directories(work());
}

std::string Workspace::folder(int folderNo) const {
    char name[16];
    std::snprintf(name, sizeof name, "S%03d", folderNo);
    return temp_ / name;
}

void Workspace::addClips(int folderNo, const std::vector<int>& numbers, int width, int height) {
    if (!demo::writeClips(folder(folderNo), numbers, cv::Size(width, height), folderNo, 80))
        throw std::runtime_error("cannot write clips into " + folder(folderNo));
}

void Workspace::addClipRange(int folderNo, int count, int width, int height) {
    std::vector<int> numbers(static_cast<size_t>(count));
    std::iota(numbers.begin(), numbers.end(), 0);
    addClips(folderNo, numbers, width, height);
}

void Workspace::addFrameData(int folderNo, const std::vector<std::string>& paths) {
    constexpr size_t kRecord = 756;
    std::string table(kRecord * 22000, '\0');
    for (size_t i = 0; i < paths.size(); ++i) {
        table.replace(kRecord * i + 4, paths[i].size(), paths[i]);
        std::string text = "clip " + std::to_string(i);
        table.replace(kRecord * i + 254, text.size(), text);
    }
    char name[32];
    std::snprintf(name, sizeof name, "/frame_data%04d.dat", folderNo);
    writeFile(work() + name, table + std::to_string(paths.size()) + "\n");
}

std::string Workspace::script(const std::string& text) const {
    std::string path = work() + "/input.txt";
    writeFile(path, text);
    return path;
}

}  // namespace kalvento::test
