#pragma once
// The motion values in the shared block: at byte 0 DiffSum, the sum of the slots, then the
// 32 slots WebCam[0..31], one per camera number, each the motion amount of the player whose
// camera it is (0 = no value). Bytes 132 .. 1023 belong to others and are kept as they are.

#include <cstdint>

#include "platform/shared_block.h"

namespace kalvento {

inline constexpr int kWebCamSlots = 32;
inline constexpr size_t kMotionBytes = 4 * (1 + kWebCamSlots);  // 132

// Reads and writes the little-endian ints of a block copy.
int32_t diffSumOf(const BlockBytes& block);
int32_t webCamOf(const BlockBytes& block, int slot);

// Clears DiffSum and every slot; `copy` receives the block as written.
void resetSharedMotion(SharedBlock& block, BlockBytes& copy);
// Stores `amount` in slot `camChan` (nothing for a number outside 0..31) and rewrites DiffSum
// as the sum of the slots; `copy` receives the block as written.
void publishMotion(SharedBlock& block, BlockBytes& copy, int camChan, int32_t amount);
// Copies the block into `copy`.
void readSharedMotion(SharedBlock& block, BlockBytes& copy);

}  // namespace kalvento
