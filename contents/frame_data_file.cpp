#include "contents/frame_data_file.h"

#include <algorithm>
#include <cstring>

#include "core/decimal.h"
#include "core/read_whole.h"
#include "platform/console.h"

namespace kalvento {

namespace {
// The count line follows the table; white space before it is allowed, but not without bound.
constexpr size_t kCountLineBytes = 4096;

// The bytes of the file: the whole table, then the count line.
std::string frameDataFileContents(const std::vector<FrameData>& table, int maxCount) {
    std::string data(kFrameTableBytes, '\0');
    size_t records = std::min(table.size(), static_cast<size_t>(kMaxClips));
    if (records > 0)
        std::memcpy(data.data(), static_cast<const void*>(table.data()),
                    records * sizeof(FrameData));
    data += strf("%d\n", maxCount);
    return data;
}

}  // namespace

bool readFrameDataFile(const std::string& name, std::vector<FrameData>& table, int& maxCount,
                       FileOps& files, Console& console) {
    std::optional<std::string> data =
        readWholeFile(files, console, name, kFrameTableBytes + kCountLineBytes);
    if (!data) return false;
    table.resize(kMaxClips);
    size_t tableBytes = std::min(data->size(), kFrameTableBytes);
    std::memcpy(static_cast<void*>(table.data()), data->data(), tableBytes);
    maxCount = 0;
    if (data->size() > kFrameTableBytes) {
        size_t pos = kFrameTableBytes;
        int count = 0;
        if (parseDecimal(*data, pos, count) && count >= 0 && count <= kMaxClips) maxCount = count;
    }
    for (FrameData& record : table) record.Loaded = 0;
    return true;
}

bool writeFrameDataFile(const std::string& name, const std::vector<FrameData>& table, int maxCount,
                        FileOps& files) {
    return files.writeFileAtomic(name, frameDataFileContents(table, maxCount));
}

}  // namespace kalvento
