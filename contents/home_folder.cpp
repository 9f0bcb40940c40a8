#include "contents/home_folder.h"

#include <climits>

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
    HomeSlotCopy copy;
    for (int start = from;;) {
        copy.slot = firstFreeHomeSlot(files, start);
        if (copy.slot < 0) {
            copy.error = "no free slot is left in the home folder";
            return copy;
        }
        const std::string target = homeSlotPath(copy.slot);
        announce(target);
        CopyResult result = files.copyNew(source, target);
        if (result.status == CopyResult::Copied) {
            copy.copied = true;
            return copy;
        }
        if (result.status == CopyResult::Failed) {
            copy.error = result.error;
            return copy;
        }
        // Taken by another player since the test: that frame stays, this one goes further on.
        if (copy.slot == INT_MAX) {
            copy.slot = -1;
            copy.error = "no free slot is left in the home folder";
            return copy;
        }
        start = copy.slot + 1;
    }
}

}  // namespace kalvento
