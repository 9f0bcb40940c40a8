#include "platform/memory_info.h"

#include <unistd.h>

namespace kalvento {

int64_t physicalMemoryBytes() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<int64_t>(pages) * pageSize;
}

}  // namespace kalvento
