#include "settings/threshold_file.h"

#include "core/decimal.h"

namespace kalvento {

bool readThresholdFile(FileOps& files, int& threshold) {
    std::optional<std::string> text = files.readFile(kThresholdFileName, 4096);
    if (!text) return false;
    size_t pos = 0;
    int value = 0;
    if (!parseDecimal(*text, pos, value)) return false;
    threshold = value < 0 ? 0 : value;
    return true;
}

bool writeThresholdFile(FileOps& files, Console& console, int threshold) {
    if (files.writeFileAtomic(kThresholdFileName, strf("%d", threshold))) return true;
    console.print("[ NG ] Write Failed : [ %s ]\n", kThresholdFileName);
    return false;
}

}  // namespace kalvento
