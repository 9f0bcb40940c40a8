#include "ipc/shared_motion.h"

#include <cstring>

namespace kalvento {

namespace {

int32_t intAt(const BlockBytes& block, size_t index) {
    int32_t value = 0;
    std::memcpy(&value, block.data() + 4 * index, sizeof value);
    return value;
}

void setIntAt(BlockBytes& block, size_t index, int32_t value) {
    std::memcpy(block.data() + 4 * index, &value, sizeof value);
}

}  // namespace

int32_t diffSumOf(const BlockBytes& block) {
    return intAt(block, 0);
}

int32_t webCamOf(const BlockBytes& block, int slot) {
    return intAt(block, 1 + static_cast<size_t>(slot));
}

void resetSharedMotion(SharedBlock& block, BlockBytes& copy) {
    block.exchange(copy, [](BlockBytes& bytes) { std::memset(bytes.data(), 0, kMotionBytes); });
}

void publishMotion(SharedBlock& block, BlockBytes& copy, int camChan, int32_t amount) {
    block.exchange(copy, [camChan, amount](BlockBytes& bytes) {
        if (camChan >= 0 && camChan < kWebCamSlots)
            setIntAt(bytes, 1 + static_cast<size_t>(camChan), amount);
        // Wraps like the int arithmetic of every other player rather than overflowing.
        uint32_t sum = 0;
        for (size_t slot = 1; slot <= kWebCamSlots; ++slot)
            sum += static_cast<uint32_t>(intAt(bytes, slot));
        setIntAt(bytes, 0, static_cast<int32_t>(sum));
    });
}

void readSharedMotion(SharedBlock& block, BlockBytes& copy) {
    block.exchange(copy);
}

}  // namespace kalvento
