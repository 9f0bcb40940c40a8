#include "contents/frame_data_file.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace kalvento {

namespace {
// The count line follows the table; white space before it is allowed, but not without bound.
constexpr size_t kCountLineBytes = 4096;
}  // namespace

bool parseDecimal(const std::string& text, size_t& pos, int& value) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
    long long magnitude = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
        ++pos;
    }
    long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
    value = static_cast<int>(signedValue);
    return true;
}

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
