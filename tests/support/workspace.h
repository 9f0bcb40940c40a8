#pragma once
// A player workspace for tests: a temporary contents root with a working directory "work"
// inside it, so the contents folders S001, S002, ... sit beside the working directory.

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kalvento::test {

class Workspace {
public:
    Workspace();
    const std::string& root() const { return temp_.path(); }
    std::string work() const { return temp_ / "work"; }
    // root/S%03d
    std::string folder(int folderNo) const;
    // Writes small clips with these file numbers into folder S%03d.
    void addClips(int folderNo, const std::vector<int>& numbers, int width = 64, int height = 48);
    void addClipRange(int folderNo, int count, int width = 64, int height = 48);
    // Writes the frame data file of folder S%03d: one record per path, each with the text
    // "clip N" as its http[2] text, so that every display of clip N prints a line naming it.
    void addFrameData(int folderNo, const std::vector<std::string>& paths);
    // Writes an --input script into the working directory; returns its path.
    std::string script(const std::string& text) const;

private:
    ScopedTempDir temp_;
};

}  // namespace kalvento::test
