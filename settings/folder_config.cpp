#include "settings/folder_config.h"

#include <cstring>

#include "core/decimal.h"
#include "core/paths.h"

namespace kalvento {

namespace {

constexpr size_t kPivotBytes = sizeof(int32_t) * kPivotSlots;  // 92000
constexpr size_t kTailBytes = 4096;

// Reads the file into PivotHistory and ConfigTail. False, with both untouched, when it does not
// open or cannot be read to its end.
bool readFolderConfig(const std::string& path, KeyFrameState& keyFrames, FileOps& files) {
    std::optional<std::string> data = files.readFile(path, kPivotBytes + kTailBytes);
    if (!data) return false;
    std::memcpy(keyFrames.PivotHistory.data(), data->data(), std::min(data->size(), kPivotBytes));
    if (data->size() > kPivotBytes) {
        size_t pos = kPivotBytes;
        int tail = 0;
        if (parseDecimal(*data, pos, tail)) keyFrames.ConfigTail = tail;
    }
    return true;
}

}  // namespace

void importFolderConfigSilently(int dirNum, KeyFrameState& keyFrames, FileOps& files) {
    if (!readFolderConfig(folderConfigPath(dirNum), keyFrames, files)) return;
    for (int i = 0; i < kKeyFrameSlots; ++i)
        keyFrames.KeyFrameNumber[i] = static_cast<double>(keyFrames.PivotHistory[i]);
}

void importFolderConfigVerbose(int dirNum, KeyFrameState& keyFrames, FileOps& files,
                               Console& console) {
    std::string path = folderConfigPath(dirNum);
    if (!files.isReadableFile(path)) return;
    console.print("\nFound a file [ tcz_config.dat ] in the Contents Folder...\n");
    console.print("\nNow, Importing [ %s ]\n", path.c_str());
    if (!readFolderConfig(path, keyFrames, files)) {
        console.printErr("ERROR: Could not read [ %s ] to its end; nothing of it was used.\n",
                         path.c_str());
        return;
    }
    console.print("\n");
    for (int i = 0; i <= 10; ++i)
        console.print("PivotHistory[ %6d ] = [ %6d ]\n", i, keyFrames.PivotHistory[i]);
    console.print("\n");
    for (int i = 0; i < kKeyFrameSlots; ++i) {
        double value = static_cast<double>(keyFrames.PivotHistory[i]);
        keyFrames.KeyFrameNumber[i] = value;
        if (value > 0) console.print("（変数設定： KeyFrameNumber[ %d ] = %f）\n", i, value);
    }
    console.print("\nThat is all.\n");
    console.print("Finished Importing [ %s ]\n", path.c_str());
}

}  // namespace kalvento
