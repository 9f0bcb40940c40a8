#include "contents/import.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include "contents/import_run.h"
#include "core/paths.h"
#include "core/state.h"
#include "platform/own_files.h"

namespace kalvento {

namespace {

using import_detail::ImportRun;
using import_detail::Kind;
using import_detail::Source;

constexpr int kStatusRefused = 1;
constexpr int kStatusInterrupted = 130;
// Damaged pictures named one by one in the summary; more are counted.
constexpr size_t kDamagedNamed = 20;

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

// `path` as a full path: a relative one is taken from the working directory. Empty when that
// cannot be known (it was removed): the name could then mean anything.
std::string fullPath(const std::string& path, FileOps& files) {
    if (!path.empty() && path[0] == '/') return path;
    const std::string directory = files.currentDirectory();
    return directory.empty() || path.empty() ? std::string() : directory + "/" + path;
}

// The source `path` names (itself, or the pictures of a folder) added to `sources`; false
// (said on the console) when it does not exist or a folder holds no picture.
bool addSource(const std::string& given, std::vector<Source>& sources, ImportTools& tools) {
    const std::string path = fullPath(given, tools.files);
    if (path.empty()) {
        tools.console.printErr(
            "kalvento --import: %s is a relative name and the directory it is taken from "
            "cannot be found (was it removed?); nothing was imported.\n",
            printable(given).c_str());
        return false;
    }
    if (!tools.files.exists(path)) {
        tools.console.printErr("kalvento --import: %s does not exist; nothing was imported.\n",
                               printable(path).c_str());
        return false;
    }
    if (!tools.files.isDirectory(path)) {
        sources.push_back({path, pictureKind(path).value_or(Kind::Video)});
        return true;
    }
    std::optional<std::vector<Source>> pictures = picturesOf(path, tools.files);
    if (!pictures || pictures->empty()) {
        tools.console.printErr(
            "kalvento --import: the folder %s holds no picture (.jpg, .jpeg, .png, .webp, "
            ".bmp, .tif, .tiff); nothing was imported.\n",
            printable(path).c_str());
        return false;
    }
    sources.insert(sources.end(), pictures->begin(), pictures->end());
    return true;
}

// The sources the paths name, in their order; nullopt (said on the console) when a path does
// not exist or a folder holds no picture.
std::optional<std::vector<Source>> gatherSources(const std::vector<std::string>& paths,
                                                 ImportTools& tools) {
    std::vector<Source> sources;
    for (const std::string& path : paths)
        if (!addSource(path, sources, tools)) return std::nullopt;
    return sources;
}

// True when the import reads folder `number` itself (its pictures become its clips).
bool importsInPlace(const ImportRequest& request, int number, ImportTools& tools) {
    if (number <= 0 || request.paths.size() != 1) return false;
    const std::string target = fullPath(folderPath(number - 1), tools.files);
    return tools.files.isDirectory(target) &&
           tools.files.sameFile(fullPath(request.paths[0], tools.files), target);
}

// Makes and holds the hidden folder of folder `number`; a leftover of a killed import there
// is removed first. Sets `refused` (said on the console) when the import cannot go on.
std::optional<OwnFolder> claimStaging(int number, bool fixed, bool& refused, ImportTools& tools) {
    const std::string staging = import_detail::stagingPath(number);
    OwnFolder::Outcome outcome;
    OwnFolder folder = OwnFolder::make(staging, outcome);
    if (outcome == OwnFolder::Outcome::Exists &&
        removeLeftoverFolder(staging) == Leftover::Removed)
        folder = OwnFolder::make(staging, outcome);
    if (outcome == OwnFolder::Outcome::Made) return folder;
    const std::string shown = printable(staging);
    if (outcome == OwnFolder::Outcome::InTheWay) {
        tools.console.printErr(
            "kalvento --import: %s is in the way: a link or a file, not a folder an import "
            "made; it is left as it is and nothing was imported. Remove it first.\n",
            shown.c_str());
        refused = true;
    } else if (outcome == OwnFolder::Outcome::Failed) {
        tools.console.printErr("kalvento --import: cannot make the folder %s: %s; nothing was "
                               "imported.\n",
                               shown.c_str(), std::strerror(errno));
        refused = true;
    } else if (fixed) {
        tools.console.printErr("kalvento --import-to: another import is gathering clips in %s "
                               "now; nothing was imported.\n",
                               shown.c_str());
        refused = true;
    }
    return std::nullopt;
}

// The number of the folder to make, its hidden folder made and held by `run`: the one asked
// for when it is free (missing or an empty folder) or read in place, otherwise the lowest
// free one that no other import is filling; 0 (said on the console) when there is none.
int claimFolder(int asked, bool inPlace, ImportRun& run, ImportTools& tools) {
    bool refused = false;
    if (asked > 0) {
        if (!inPlace && !import_detail::isFreeFolder(folderPath(asked - 1), tools.files)) {
            tools.console.printErr(
                "kalvento --import-to: %s already exists and is not empty; nothing was "
                "imported.\n",
                printable(fullFolderPath(tools.files.currentDirectory(), asked - 1)).c_str());
            return 0;
        }
        std::optional<OwnFolder> folder = claimStaging(asked, true, refused, tools);
        if (folder) run.begin(asked, std::move(*folder));
        return folder ? asked : 0;
    }
    for (int number = 1; number <= import_detail::kMaxFolderNumber && !refused; ++number) {
        if (!import_detail::isFreeFolder(folderPath(number - 1), tools.files)) continue;
        if (std::optional<OwnFolder> folder = claimStaging(number, false, refused, tools)) {
            run.begin(number, std::move(*folder));
            return number;
        }
    }
    if (!refused) tools.console.printErr("kalvento --import: no free folder number is left.\n");
    return 0;
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

// Names the damaged pictures that were imported (they show only in part).
void sayDamaged(const std::vector<std::string>& damaged, Console& console) {
    if (damaged.empty()) return;
    std::string names;
    for (size_t i = 0; i < damaged.size() && i < kDamagedNamed; ++i)
        names += (i == 0 ? "" : ", ") + printable(damaged[i]);
    if (damaged.size() > kDamagedNamed) names += strf(" and %zu more", damaged.size() - kDamagedNamed);
    console.printErr("kalvento --import: imported, but damaged (they show only in part): %s\n",
                     names.c_str());
}

// Adds every source; the exit status when the import stopped (the run discarded), else 0.
int addAll(const std::vector<Source>& sources, ImportRun& run, ImportTools& tools) {
    for (const Source& source : sources) {
        const bool going = run.add(source);
        if (tools.interrupted && tools.interrupted()) {
            tools.console.printErr("\nkalvento --import: interrupted; nothing was imported.\n");
            run.discard();
            return kStatusInterrupted;
        }
        if (!going) {
            run.discard();
            return kStatusRefused;
        }
    }
    tools.console.print("\n");
    if (run.clips() > 0) return 0;
    tools.console.printErr("kalvento --import: no clip could be made; nothing was imported.\n");
    run.discard();
    return kStatusRefused;
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
    const bool inPlace = importsInPlace(request, request.folderNumber, tools);
    ImportRun run(tools, static_cast<int>(sources->size()));
    int number = claimFolder(request.folderNumber, inPlace, run, tools);
    if (number == 0) return result;
    result.status = addAll(*sources, run, tools);
    if (result.status != 0) return result;
    number = run.finish(number, request.folderNumber > 0, inPlace);
    if (number == 0) return ImportResult{0, 0, kStatusRefused};
    tools.console.print("Imported %d clips into %s\n", run.clips(),
                        printable(fullFolderPath(tools.files.currentDirectory(), number - 1)).c_str());
    sayDamaged(run.damaged(), tools.console);
    return ImportResult{number, run.clips(), 0};
}

}  // namespace kalvento
