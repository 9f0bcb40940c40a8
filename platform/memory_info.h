#pragma once
// What the machine has: its physical memory, for the budget of the clip image cache.

#include <cstdint>

namespace kalvento {

// Bytes of physical memory; 0 when the system does not say.
int64_t physicalMemoryBytes();

}  // namespace kalvento
