#include "core/numbered_copy.h"

#include <climits>

namespace kalvento {

NumberedCopy copyToFreeNumber(FileOps& files, const std::string& source, int from,
                              const std::function<std::string(int number)>& pathOf,
                              const std::function<void(const std::string& path)>& announce) {
    NumberedCopy copy;
    for (int number = from < 0 ? 0 : from;; ++number) {
        const std::string target = pathOf(number);
        if (files.exists(target)) {
            if (number == INT_MAX) break;
            continue;
        }
        copy.number = number;
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
        // Taken by someone else since the test: that file stays, this one goes further on.
        if (number == INT_MAX) break;
    }
    copy.number = -1;
    copy.error = "no free number is left";
    return copy;
}

}  // namespace kalvento
