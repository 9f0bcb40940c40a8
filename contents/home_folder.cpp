#include "contents/home_folder.h"

#include <climits>

#include "core/numbered_copy.h"
#include "core/paths.h"
#include "platform/console.h"

namespace kalvento {

std::string homeSlotPath(int slot) {
    return zeroFill(strf("%s/clip_%5d.jpg", kContentsRoot, slot));
}

int firstFreeHomeSlot(FileOps& files, int from) {
    for (int slot = from < 0 ? 0 : from;; ++slot) {
        if (!files.exists(homeSlotPath(slot))) return slot;
        if (slot == INT_MAX) return -1;
    }
}

HomeSlotCopy copyToFreeHomeSlot(FileOps& files, const std::string& source, int from,
                                const std::function<void(const std::string& slotPath)>& announce) {
    NumberedCopy numbered = copyToFreeNumber(files, source, from, homeSlotPath, announce);
    HomeSlotCopy copy{numbered.copied, numbered.number, numbered.error};
    if (copy.slot < 0) copy.error = "no free slot is left in the home folder";
    return copy;
}

}  // namespace kalvento
