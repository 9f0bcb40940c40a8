#include "contents/scan.h"

#include <cstring>

#include <algorithm>

#include "contents/frame_data_file.h"
#include "contents/import.h"
#include "core/exit.h"
#include "core/input_queue.h"
#include "core/paths.h"
#include "core/playback.h"
#include "settings/folder_config.h"

namespace kalvento {

namespace {

constexpr int kLastProbedNumber = 25000;
constexpr int kMaxMissesInARow = 22000;
constexpr int kProgressEvery = 200;

void resetPlayback(State& state, ClipCache& cache) {
    state.camera.CamFrameSlot = 0;
    state.camera.DifferenceSum = 0;
    setFramePosition(state.playback, 0.0);
    state.playback.MotionRun = 0;
    state.playback.ReplayDirection = 1;
    state.playback.LastShownFrame = -1.0;
    state.keyFrames.KeyFrameNumber.fill(0.0);
    state.keyFrames.KeyFrameIndex = 0;
    cache.flush();
}

// Fills the clip table by probing the clip files of the folder, in rising file-number order
// with the gaps closed.
void probeClipFiles(ContentsState& contents, Io& io) {
    // A folder that is not a directory holds no clip: its 25001 probes would all miss.
    if (!io.files.isDirectory(folderPath(contents.DirNum))) return;
    int misses = 0;
    for (int n = 0; n <= kLastProbedNumber && contents.MaxCount < kMaxClips; ++n) {
        std::string path = clipPath(contents.DirNum, n);
        if (!io.files.exists(path)) {
            if (++misses > kMaxMissesInARow) break;
            continue;
        }
        misses = 0;
        setFieldText(contents.FrameData[contents.MaxCount].ClipPath, path);
        ++contents.MaxCount;
        if (contents.MaxCount % kProgressEvery == 0)
            io.console.print("\n [ %6d ]  MaxCount = [ %6d ]  ( %s )\n", n, contents.MaxCount,
                             path.c_str());
    }
}

// Fills the clip table of folder DirNum from its frame data file or from its clip files.
void buildClipTable(ContentsState& contents, Io& io) {
    std::memset(static_cast<void*>(contents.FrameData.data()), 0,
                sizeof(FrameData) * contents.FrameData.size());
    contents.MaxCount = 0;
    std::string name = frameDataFileName(contents.DirNum);
    if (readFrameDataFile(name, contents.FrameData, contents.MaxCount, io.files, io.console)) {
        std::string top(fieldText(contents.FrameData[0].ClipPath));
        io.console.print(
            "\n* FINISHED READING FRAME DATA :  %s\n  (Number of files = [ %d ],  Name of the "
            "top file = [ %s ]) \n",
            name.c_str(), contents.MaxCount, top.c_str());
        return;
    }
    probeClipFiles(contents, io);
}

void writeCheckFile(int dirNum, Io& io) {
    std::string path = checkFilePath(dirNum);
    if (io.files.isReadableFile(path)) return;
    // A folder where it cannot be created is passed over silently.
    if (io.files.writeFileAtomic(path,
                                 "---> Found at least one image file in the contents folder.\n"))
        io.console.print("\n---> Created a file[ check_result.txt ] in the contents folder.\n");
}

// Shows clip 0 in the window sized to it (a fullscreen window stays as it is).
void showFirstClip(State& state, ClipCache& cache, Io& io) {
    state.selection.MotionCount = 0;
    // Whole: the window is built around the clip's own size.
    auto decode = [&io](const std::string& path, cv::Mat& into, cv::Size&) {
        return io.images.loadColor(path, into);
    };
    if (!cache.load(0, std::nullopt, decode)) return;
    io.sizeWindowTo(*cache.find(0));
    state.playback.LastShownFrame = -1.0;
    clearInjected(state.playback);
}

// The page's lines about pictures of other names in S001 (none when it holds none): the
// command that makes them its clips, in place (they are then kept in S001-pictures).
std::vector<std::string> otherNamesLines(FileOps& files, const std::string& workdir) {
    std::optional<std::vector<std::string>> names = files.listFolder(folderPath(0));
    if (!names) return {};
    std::sort(names->begin(), names->end(), naturalLess);
    const auto first = std::find_if(names->begin(), names->end(), isPictureName);
    if (first == names->end()) return {};
    const long count = std::count_if(names->begin(), names->end(), isPictureName);
    return {strf("  It holds %ld pictures of other names (%s, ...).", count,
                 printable(*first).c_str()),
            "To make them its clips (the pictures are kept in S001-pictures):",
            "  kalvento -C " + shellQuoted(workdir) + " --import-to 1 --import " +
                shellQuoted(fullFolderPath(workdir, 0))};
}

// Waits for a key after the player found no clip: in a window that can show a page, the page
// says where clips were looked for, what they must be called and how to bring them in.
void waitAfterNoClips(Io& io) {
    if (!io.showPage) {
        io.window.waitKey(0);
        return;
    }
    const std::string workdir = io.files.currentDirectory();
    std::vector<std::string> page{"No clips to play.", "Folder searched:",
                                  "  " + fullFolderPath(workdir, 0)};
    for (std::string& line : otherNamesLines(io.files, workdir)) page.push_back(std::move(line));
    page.insert(page.end(), {
        "Clips must be called",
        "  S001/clip_00000.jpg, clip_00001.jpg, ...",
        "To bring clips in (a folder of pictures, pictures or a video):",
        "  kalvento -C " + shellQuoted(workdir) + " --import PATH",
        "ESC ends the player.",
    });
    io.showPage(page);
}

}  // namespace

void scanContents(State& state, ClipCache& cache, Io& io) {
    ContentsState& contents = state.contents;
    resetPlayback(state, cache);
    io.console.print("\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n");
    for (;;) {
        buildClipTable(contents, io);
        if (contents.MaxCount > 0) break;
        io.console.print("---> Empty folder is specified!\n");
        if (contents.DirNum > 0) {
            setFolderIndex(contents, contents.DirNum - 1);
        } else if (contents.DirNum < 0) {
            setFolderIndex(contents, 0);
        } else {
            io.console.errorLine("---> ERROR: No image file exists! Bye!\n");
            waitAfterNoClips(io);
            throw PlayerExit{1, true};
        }
    }
    writeCheckFile(contents.DirNum, io);
    io.console.print("\n*** Finished. Thank you for waiting! ***\n\n");
    io.console.print("\n");
    state.playback.PlayEngine = 1;
    state.playback.SpeedFactor = 1.0;
    state.playback.VR_step = 1.0;
    state.playback.WrapAroundFlag = 0;
    importFolderConfigSilently(contents.DirNum, state.keyFrames, io.files);
    showFirstClip(state, cache, io);
}

}  // namespace kalvento
