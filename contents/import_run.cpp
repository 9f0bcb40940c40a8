#include "contents/import_run.h"

#include <cstring>

#include "core/paths.h"
#include "core/state.h"
#include "platform/picture_header.h"

namespace kalvento::import_detail {

namespace {

// Below this much room left on the disk, a video that ffmpeg could not read to its end is
// taken as stopped by the full disk.
constexpr unsigned long long kLowSpaceBytes = 1ull << 20;

bool interrupted(const ImportTools& tools) {
    return tools.interrupted && tools.interrupted();
}

}  // namespace

std::string stagingPath(int folderNumber) {
    return std::string(kContentsRoot) + "/." + folderName(folderNumber - 1) + ".import";
}

bool isFreeFolder(const std::string& path, FileOps& files) {
    if (!files.exists(path)) return true;
    std::optional<std::vector<std::string>> names = files.listFolder(path);
    return files.isDirectory(path) && names && names->empty();
}

void ImportRun::begin(int number, OwnFolder folder) {
    staging_ = stagingPath(number);
    folder_ = std::move(folder);
}

std::string ImportRun::clipName(int number) const {
    return staging_ + zeroFill(strf("/clip_%5d.jpg", number));
}

void ImportRun::progress() {
    ++read_;
    tools_.console.print("\rImporting: %d of %d files read, %d clips made", read_, total_, clips_);
}

void ImportRun::skip(const std::string& path, const std::string& why) {
    // Ctrl+C also stops ffmpeg: its failure then says nothing of the file.
    if (interrupted(tools_)) return;
    tools_.console.printErr("\nkalvento --import: skipped %s: %s\n", printable(path).c_str(),
                            why.c_str());
}

bool ImportRun::writeFailed(const std::string& path, int errorNumber) {
    tools_.console.printErr("\nkalvento --import: cannot write the clip of %s: %s; nothing was "
                            "imported.\n",
                            printable(path).c_str(), std::strerror(errorNumber));
    return false;
}

void ImportRun::tooMany(const std::string& path) {
    tools_.console.printErr(
        "\nkalvento --import: with %s there are more clips than the %d a folder can hold; "
        "nothing was imported.\n",
        printable(path).c_str(), kMaxClips);
}

bool ImportRun::add(const Source& source) {
    const bool going = source.kind == Kind::Video ? addVideo(source) : addPicture(source);
    progress();
    return going;
}

bool ImportRun::addPicture(const Source& source) {
    if (clips_ >= kMaxClips) {
        tooMany(source.path);
        return false;
    }
    if (!tools_.images.loadColor(source.path, picture_)) {
        const std::string why = pictureRefusal(source.path);
        skip(source.path, why.empty() ? "it cannot be read as a picture" : why);
        return true;
    }
    const bool damaged = tools_.images.lastLoadDamaged();
    const std::string target = clipName(clips_);
    if (source.kind == Kind::Jpeg) {
        CopyResult copy = tools_.files.copyNew(source.path, target);
        if (copy.status != CopyResult::Copied) {
            if (isWriteFailure(copy.errorNumber)) return writeFailed(source.path, copy.errorNumber);
            skip(source.path, copy.error.empty() ? "it cannot be copied" : copy.error);
            return true;
        }
    } else if (!tools_.jpeg.write(target, picture_)) {
        if (isWriteFailure(tools_.jpeg.lastError()))
            return writeFailed(source.path, tools_.jpeg.lastError());
        skip(source.path, "it cannot be written as " + target);
        return true;
    }
    if (damaged) damaged_.push_back(source.path);
    ++clips_;
    return true;
}

bool ImportRun::addVideo(const Source& source) {
    // One frame more than fits tells a video that is too long. The video is handed over as
    // "file:" and its full path: ffmpeg takes no name of it for a protocol ("concat:...").
    const int room = kMaxClips - clips_;
    const int status = tools_.processes.run(
        {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-i",
         "file:" + source.path, "-map", "0:v:0", "-fps_mode", "passthrough", "-frames:v",
         std::to_string(room + 1), "-q:v", "2", "-start_number", std::to_string(clips_),
         staging_ + "/clip_%05d.jpg"});
    int made = 0;
    while (tools_.files.exists(clipName(clips_ + made))) ++made;
    if (made > room) {
        tooMany(source.path);
        return false;
    }
    if (status != 0 || made == 0) return videoStopped(source, status, made);
    clips_ += made;
    return true;
}

// After ffmpeg failed or made nothing: its frames are removed; a full disk stops the import,
// any other failure skips the video.
bool ImportRun::videoStopped(const Source& source, int status, int made) {
    // The room left is measured before its frames are removed: they filled the disk.
    const std::optional<unsigned long long> room = tools_.files.freeBytes(staging_);
    for (int n = 0; n < made; ++n) tools_.files.remove(clipName(clips_ + n));
    if (status != 0 && status != kProcessNotStarted && !interrupted(tools_) && room &&
        *room < kLowSpaceBytes)
        return writeFailed(source.path, ENOSPC);
    skip(source.path, status == kProcessNotStarted ? "ffmpeg, which reads videos, cannot be started"
                                                   : "ffmpeg cannot read it as a video");
    return true;
}

void ImportRun::discard() {
    folder_.removeWithFiles(staging_);
}

// Moves the folder `target` aside to "SNNN-pictures" (or "SNNN-pictures-2", ...): its new
// name, or empty (said) when it cannot move.
std::string ImportRun::moveAside(const std::string& target) {
    for (int n = 1; n < 100; ++n) {
        const std::string aside = target + "-pictures" + (n == 1 ? "" : strf("-%d", n));
        if (tools_.files.exists(aside)) continue;
        if (!tools_.files.rename(target, aside)) break;
        return aside;
    }
    tools_.console.printErr("\nkalvento --import: cannot move %s aside; nothing was imported.\n",
                            printable(target).c_str());
    return {};
}

int ImportRun::finish(int number, bool fixed, bool aside) {
    for (; number <= kMaxFolderNumber; ++number) {
        const std::string target = folderPath(number - 1);
        if (!folder_.isAt(staging_)) break;  // the hidden folder was replaced: touch nothing
        const std::string kept = aside ? moveAside(target) : std::string();
        if (aside && kept.empty()) break;
        if ((aside || isFreeFolder(target, tools_.files)) && tools_.files.rename(staging_, target)) {
            if (aside)
                tools_.console.print("The pictures %s held are kept in %s\n",
                                     printable(target).c_str(), printable(kept).c_str());
            folder_.release();
            return number;
        }
        if (aside) {  // the pictures go back where they were
            tools_.files.rename(kept, target);
            break;
        }
        if (fixed) {
            tools_.console.printErr(
                "\nkalvento --import-to: %s was filled while the clips were gathered; nothing "
                "was imported.\n",
                printable(fullFolderPath(tools_.files.currentDirectory(), number - 1)).c_str());
            discard();
            return 0;
        }
    }
    tools_.console.printErr("\nkalvento --import: cannot rename %s to a free folder; nothing was "
                            "imported.\n",
                            printable(staging_).c_str());
    discard();
    return 0;
}

}  // namespace kalvento::import_detail
