#include "ipc/osc_link.h"

#include <cmath>
#include <limits>
#include <optional>

#include "ipc/shared_motion.h"

namespace kalvento {

void OscLink::sendMotion(int64_t nowMicros, int camChan, int differenceSum, int diffSum,
                         int threshold) {
    if (nowMicros < nextMotion_) return;
    const int64_t period = motionPeriodMicros_;
    nextMotion_ = nowMicros - nextMotion_ < period ? nextMotion_ + period : nowMicros + period;
    port_.send({"/kalvento/motion",
                {OscValue::Int(camChan), OscValue::Int(differenceSum), OscValue::Int(diffSum),
                 OscValue::Int(threshold)}});
}

bool OscLink::countsDue(int64_t nowMicros) {
    if (nowMicros < nextCounts_) return false;
    nextCounts_ = nowMicros + 1000000;
    return true;
}

void OscLink::sendClip(int folderNumber, int clip, int clipCount) {
    if (folderNumber == lastFolder_ && clip == lastClip_ && clipCount == lastCount_) return;
    lastFolder_ = folderNumber;
    lastClip_ = clip;
    lastCount_ = clipCount;
    port_.send({"/kalvento/clip",
                {OscValue::Int(folderNumber), OscValue::Int(clip), OscValue::Int(clipCount)}});
}

void OscLink::sendGesture(int result, const std::string& name, int phase, int speed, int accel,
                          int width) {
    port_.send({"/kalvento/gesture",
                {OscValue::Int(result), OscValue::Str(name), OscValue::Int(phase),
                 OscValue::Int(speed), OscValue::Int(accel), OscValue::Int(width)}});
}

void OscLink::receive(SharedBlock& block, BlockBytes& copy, int64_t nowMicros) {
    for (int n = 0; n < kMaxDatagramsPerTurn; ++n) {
        std::optional<OscDatagram> datagram = port_.receive();
        if (!datagram) break;
        switch (datagram->kind) {
            case OscDatagram::Oversized:
                ++counters_.oversized;
                break;
            case OscDatagram::Malformed:
                ++counters_.malformed;
                break;
            case OscDatagram::Message:
                handle(datagram->message, block, copy, nowMicros);
                break;
        }
    }
    for (int slot = 0; slot < kWebCamSlots; ++slot) {
        int64_t& seen = remoteSeen_[slot];
        if (seen != 0 && nowMicros - seen > kRemoteMotionLifetimeMicros) {
            seen = 0;
            publishMotion(block, copy, slot, 0);
        }
    }
}

void OscLink::clearRemoteSlots(SharedBlock& block, BlockBytes& copy) {
    for (int slot = 0; slot < kWebCamSlots; ++slot) {
        if (remoteSeen_[slot] == 0) continue;
        remoteSeen_[slot] = 0;
        publishMotion(block, copy, slot, 0);
    }
}

namespace {

// A number argument that is a whole number from `low` to `high`, of any number type.
std::optional<int> wholeNumber(const OscValue& value, int low, int high) {
    if (!value.isNumber()) return std::nullopt;
    const double number = value.number();
    if (!(number >= low && number <= high) || std::floor(number) != number) return std::nullopt;
    return static_cast<int>(number);
}

// A number argument of any number type, rounded to the nearest whole number, when that is
// from `low` to `high`.
std::optional<int> roundedNumber(const OscValue& value, int low, int high) {
    if (!value.isNumber()) return std::nullopt;
    const double number = std::round(value.number());
    if (!(number >= low && number <= high)) return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace

void OscLink::handle(const OscMessage& message, SharedBlock& block, BlockBytes& copy,
                     int64_t nowMicros) {
    if (message.path == "/kalvento/key")
        handleKey(message.args);
    else if (message.path == "/kalvento/motion")
        handleMotion(message.args, block, copy, nowMicros);
    else
        ++counters_.unknown;
}

void OscLink::handleKey(const std::vector<OscValue>& args) {
    std::optional<int> key;
    if (args.size() == 1 && args[0].type == 's' && args[0].s.size() == 1)
        key = static_cast<unsigned char>(args[0].s[0]);
    else if (args.size() == 1)
        key = wholeNumber(args[0], 1, 255);
    if (!key || *key == 0) {
        ++counters_.malformed;
    } else if (!allowedKeys_.contains(*key)) {
        ++counters_.refused;
    } else if (keys_.size() >= kKeyQueueLimit) {
        ++counters_.overflow;
    } else {
        keys_.push_back(*key);
        ++counters_.keys;
    }
}

void OscLink::handleMotion(const std::vector<OscValue>& args, SharedBlock& block, BlockBytes& copy,
                           int64_t nowMicros) {
    // Camera number, motion amount, and (not used here) the sender's total and threshold.
    constexpr int kMaxAmount = std::numeric_limits<int32_t>::max();
    std::optional<int> slot, amount;
    if (args.size() == 4 && args[2].isNumber() && args[3].isNumber()) {
        slot = wholeNumber(args[0], 0, kWebCamSlots - 1);
        amount = roundedNumber(args[1], 0, kMaxAmount);
    }
    if (!slot || !amount) {
        ++counters_.malformed;
        return;
    }
    publishMotion(block, copy, *slot, *amount);
    // 0 means "no value" in the clock too, so a message at time 0 still counts as seen.
    remoteSeen_[*slot] = nowMicros != 0 ? nowMicros : 1;
    ++counters_.motions;
}

int OscLink::takeKey() {
    if (keys_.empty()) return 0;
    int key = keys_.front();
    keys_.pop_front();
    return key;
}

}  // namespace kalvento
