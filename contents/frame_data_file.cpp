#include "contents/frame_data_file.h"

#include <cstring>

#include "app/decimal.h"

namespace kalvento {

namespace {
// The count line follows the table; white space before it is allowed, but not without bound.
constexpr size_t kCountLineBytes = 4096;
}  // namespace

bool readFrameDataFile(const std::string& name, std::vector<FrameData>& table, int& maxCount,
                       FileOps& files) {
    std::optional<std::string> data = files.readFile(name, kFrameTableBytes + kCountLineBytes);
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

}  // namespace kalvento
