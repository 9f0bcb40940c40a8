#include "contents/import.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "core/paths.h"
#include "core/state.h"

namespace kalvento {

namespace {

constexpr int kMaxFolderNumber = 9999;
constexpr int kStatusRefused = 1;
constexpr int kStatusInterrupted = 130;

enum class Kind { Jpeg, Picture, Video };

struct Source {
    std::string path;
    Kind kind;
};

// The kind a file name's extension tells (case ignored): nullopt for no picture.
std::optional<Kind> pictureKind(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return std::nullopt;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "jpg" || extension == "jpeg") return Kind::Jpeg;
    for (const char* other : {"png", "webp", "bmp", "tif", "tiff"})
        if (extension == other) return Kind::Picture;
    return std::nullopt;
}

// Where `text` has a run of digits at `at`, its end.
size_t digitsEnd(const std::string& text, size_t at) {
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at;
}

// The pictures of folder `path` in natural order; nullopt when it cannot be read.
std::optional<std::vector<Source>> picturesOf(const std::string& path, FileOps& files) {
    std::optional<std::vector<std::string>> names = files.listFolder(path);
    if (!names) return std::nullopt;
    std::sort(names->begin(), names->end(), naturalLess);
    std::vector<Source> pictures;
    for (const std::string& name : *names)
        if (std::optional<Kind> kind = pictureKind(name); kind && name[0] != '.')
            pictures.push_back({path + "/" + name, *kind});
    return pictures;
}

// The sources the paths name, in their order; nullopt (said on the console) when a path does
// not exist or a folder holds no picture.
std::optional<std::vector<Source>> gatherSources(const std::vector<std::string>& paths,
                                                 ImportTools& tools) {
    std::vector<Source> sources;
    for (const std::string& path : paths) {
        if (!tools.files.exists(path)) {
            tools.console.printErr("kalvento --import: %s does not exist; nothing was imported.\n",
                                   path.c_str());
            return std::nullopt;
        }
        if (!tools.files.isDirectory(path)) {
            sources.push_back({path, pictureKind(path).value_or(Kind::Video)});
            continue;
        }
        std::optional<std::vector<Source>> pictures = picturesOf(path, tools.files);
        if (!pictures || pictures->empty()) {
            tools.console.printErr(
                "kalvento --import: the folder %s holds no picture (.jpg, .jpeg, .png, .webp, "
                ".bmp, .tif, .tiff); nothing was imported.\n",
                path.c_str());
            return std::nullopt;
        }
        sources.insert(sources.end(), pictures->begin(), pictures->end());
    }
    return sources;
}

bool isEmptyFolder(const std::string& path, FileOps& files) {
    std::optional<std::vector<std::string>> names = files.listFolder(path);
    return files.isDirectory(path) && names && names->empty();
}

// The number of the folder to make: the one asked for when it is free (missing or an empty
// folder), otherwise the lowest free one; 0 (said on the console) when there is none.
int chooseFolder(int asked, ImportTools& tools) {
    auto isFree = [&tools](int number) {
        const std::string path = folderPath(number - 1);
        return !tools.files.exists(path) || isEmptyFolder(path, tools.files);
    };
    if (asked > 0) {
        if (isFree(asked)) return asked;
        tools.console.printErr(
            "kalvento --import-to: %s already exists and is not empty; nothing was imported.\n",
            fullFolderPath(tools.files.currentDirectory(), asked - 1).c_str());
        return 0;
    }
    for (int number = 1; number <= kMaxFolderNumber; ++number)
        if (isFree(number)) return number;
    tools.console.printErr("kalvento --import: no free folder number is left.\n");
    return 0;
}

// An import under way: the clips gathered so far in the hidden folder.
class ImportRun {
public:
    ImportRun(ImportTools& tools, int folderNumber, int total)
        : tools_(tools),
          staging_(std::string(kContentsRoot) + "/." + folderName(folderNumber - 1) + ".import"),
          total_(total) {}

    // Makes the hidden folder (clearing what an earlier run cut short left there).
    bool begin() {
        if (tools_.files.exists(staging_)) discard();
        if (tools_.files.makeDirectory(staging_)) return true;
        tools_.console.printErr(
            "kalvento --import: cannot make the folder %s; nothing was "
            "imported.\n",
            staging_.c_str());
        return false;
    }

    // Adds the source as the next clip(s); a source that cannot be read is named and skipped.
    // False when the import must stop (more clips than a folder holds).
    bool add(const Source& source);

    // Removes the hidden folder and what it holds.
    void discard() {
        if (auto names = tools_.files.listFolder(staging_))
            for (const std::string& name : *names) tools_.files.remove(staging_ + "/" + name);
        tools_.files.removeFolder(staging_);
    }

    // Gives the hidden folder its name; false (said, and discarded) when that fails.
    bool finish(const std::string& target) {
        if (tools_.files.rename(staging_, target)) return true;
        tools_.console.printErr(
            "\nkalvento --import: cannot rename %s to %s; nothing was "
            "imported.\n",
            staging_.c_str(), target.c_str());
        discard();
        return false;
    }

    int clips() const { return clips_; }

private:
    std::string clipName(int number) const {
        return staging_ + zeroFill(strf("/clip_%5d.jpg", number));
    }
    void progress() {
        ++read_;
        tools_.console.print("\rImporting: %d of %d files read, %d clips made", read_, total_,
                             clips_);
    }
    void skip(const std::string& path, const std::string& why) {
        tools_.console.printErr("\nkalvento --import: skipped %s: %s\n", path.c_str(), why.c_str());
    }
    void tooMany(const std::string& path) {
        tools_.console.printErr(
            "\nkalvento --import: with %s there are more clips than the %d a folder can hold; "
            "nothing was imported.\n",
            path.c_str(), kMaxClips);
    }
    bool addPicture(const Source& source);
    bool addVideo(const Source& source);

    ImportTools& tools_;
    const std::string staging_;
    const int total_;  // the files to read
    int read_ = 0;
    int clips_ = 0;
    cv::Mat picture_;
};

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
        skip(source.path, "it cannot be read as a picture");
        return true;
    }
    const std::string target = clipName(clips_);
    if (source.kind == Kind::Jpeg) {
        CopyResult copy = tools_.files.copyNew(source.path, target);
        if (copy.status != CopyResult::Copied) {
            skip(source.path, copy.error.empty() ? "it cannot be copied" : copy.error);
            return true;
        }
    } else if (!tools_.jpeg.write(target, picture_)) {
        skip(source.path, "it cannot be written as " + target);
        return true;
    }
    ++clips_;
    return true;
}

bool ImportRun::addVideo(const Source& source) {
    // One frame more than fits tells a video that is too long.
    const int room = kMaxClips - clips_;
    const int status = tools_.processes.run(
        {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-i", source.path,
         "-map", "0:v:0", "-fps_mode", "passthrough", "-frames:v", std::to_string(room + 1), "-q:v",
         "2", "-start_number", std::to_string(clips_), staging_ + "/clip_%05d.jpg"});
    int made = 0;
    while (tools_.files.exists(clipName(clips_ + made))) ++made;
    if (made > room) {
        tooMany(source.path);
        return false;
    }
    if (status != 0 || made == 0) {
        for (int n = 0; n < made; ++n) tools_.files.remove(clipName(clips_ + n));
        skip(source.path, status == kProcessNotStarted
                              ? "ffmpeg, which reads videos, cannot be started"
                              : "ffmpeg cannot read it as a video");
        return true;
    }
    clips_ += made;
    return true;
}

// Refuses more pictures than a folder holds; true when they fit.
bool picturesFit(const std::vector<Source>& sources, Console& console) {
    const long pictures = std::count_if(sources.begin(), sources.end(),
                                        [](const Source& s) { return s.kind != Kind::Video; });
    if (pictures <= kMaxClips) return true;
    console.printErr(
        "kalvento --import: %ld pictures are more than the %d clips a folder can hold; nothing "
        "was imported. Import them in parts of at most %d.\n",
        pictures, kMaxClips, kMaxClips);
    return false;
}

}  // namespace

bool isPictureName(const std::string& name) {
    return pictureKind(name).has_value();
}

bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i]));
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j]));
        if (!digitA || !digitB) {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i, ++j;
            continue;
        }
        const size_t endA = digitsEnd(a, i), endB = digitsEnd(b, j);
        size_t startA = i, startB = j;
        while (startA + 1 < endA && a[startA] == '0') ++startA;
        while (startB + 1 < endB && b[startB] == '0') ++startB;
        const std::string numberA = a.substr(startA, endA - startA);
        const std::string numberB = b.substr(startB, endB - startB);
        if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
        if (numberA != numberB) return numberA < numberB;
        i = endA, j = endB;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;  // equal in natural order (frame_01, frame_1): a fixed order all the same
}

ImportResult importContents(const ImportRequest& request, ImportTools& tools) {
    ImportResult result{0, 0, kStatusRefused};
    std::optional<std::vector<Source>> sources = gatherSources(request.paths, tools);
    if (!sources || !picturesFit(*sources, tools.console)) return result;
    const int number = chooseFolder(request.folderNumber, tools);
    if (number == 0) return result;
    ImportRun run(tools, number, static_cast<int>(sources->size()));
    if (!run.begin()) return result;
    for (const Source& source : *sources) {
        const bool going = run.add(source);
        if (tools.interrupted && tools.interrupted()) {
            tools.console.printErr("\nkalvento --import: interrupted; nothing was imported.\n");
            run.discard();
            result.status = kStatusInterrupted;
            return result;
        }
        if (!going) {
            run.discard();
            return result;
        }
    }
    tools.console.print("\n");
    if (run.clips() == 0) {
        tools.console.printErr("kalvento --import: no clip could be made; nothing was imported.\n");
        run.discard();
        return result;
    }
    if (!run.finish(folderPath(number - 1))) return result;
    tools.console.print("Imported %d clips into %s\n", run.clips(),
                        fullFolderPath(tools.files.currentDirectory(), number - 1).c_str());
    return ImportResult{number, run.clips(), 0};
}

}  // namespace kalvento
