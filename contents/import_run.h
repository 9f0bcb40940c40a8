#pragma once
// One import under way: the clips gathered in the hidden folder ".SNNN.import" beside the
// folder to make, which this run made exclusively and holds (platform/own_files.h) until the
// folder is renamed to its name or removed.

#include <string>
#include <vector>

#include "contents/import.h"
#include "platform/own_files.h"

namespace kalvento::import_detail {

// The highest folder number an import makes (S9999).
inline constexpr int kMaxFolderNumber = 9999;

enum class Kind { Jpeg, Picture, Video };

struct Source {
    std::string path;  // absolute
    Kind kind;
};

// "../.S001.import" for folder number 1.
std::string stagingPath(int folderNumber);

class ImportRun {
public:
    ImportRun(ImportTools& tools, int total) : tools_(tools), total_(total) {}

    // Takes the hidden folder `staging` made for folder `number` and held by `folder`.
    void begin(int number, OwnFolder folder);

    // Adds the source as the next clip(s); a source that cannot be read as a picture or a
    // video is named and skipped. False when the import must stop: more clips than a folder
    // holds, or a write failed (full disk): the cause is said.
    bool add(const Source& source);

    // Removes the hidden folder with what it holds; nothing else is ever removed.
    void discard();

    // Gives the hidden folder the name of folder `number`: when that folder is taken by now
    // (another import finished first), the next free one unless `fixed`; with `aside` the
    // folder there (whose pictures were imported) first moves to "SNNN-pictures". The folder
    // number made, or 0 (said, and discarded).
    int finish(int number, bool fixed, bool aside);

    int clips() const { return clips_; }
    // The pictures imported though damaged (they show in part).
    const std::vector<std::string>& damaged() const { return damaged_; }

private:
    std::string clipName(int number) const;
    void progress();
    void skip(const std::string& path, const std::string& why);
    bool writeFailed(const std::string& path, int errorNumber);
    void tooMany(const std::string& path);
    bool addPicture(const Source& source);
    bool addVideo(const Source& source);
    bool videoStopped(const Source& source, int status, int made);
    std::string moveAside(const std::string& target);

    ImportTools& tools_;
    std::string staging_;
    OwnFolder folder_;
    const int total_;  // the files to read
    int read_ = 0;
    int clips_ = 0;
    cv::Mat picture_;
    std::vector<std::string> damaged_;
};

// True when folder `path` can take the clips: missing, or an empty folder.
bool isFreeFolder(const std::string& path, FileOps& files);

}  // namespace kalvento::import_detail
