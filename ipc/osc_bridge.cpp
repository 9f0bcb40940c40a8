#include "ipc/osc_bridge.h"

#include "ipc/shared_motion.h"

namespace kalvento {

void OscBridge::sendMotion(int camChan, int differenceSum, int diffSum, int threshold) {
    port_.send({"/kalvento/motion",
                {OscValue::Int(camChan), OscValue::Int(differenceSum), OscValue::Int(diffSum),
                 OscValue::Int(threshold)}});
}

void OscBridge::sendClip(int folderNumber, int clip, int clipCount) {
    if (folderNumber == lastFolder_ && clip == lastClip_ && clipCount == lastCount_) return;
    lastFolder_ = folderNumber;
    lastClip_ = clip;
    lastCount_ = clipCount;
    port_.send({"/kalvento/clip",
                {OscValue::Int(folderNumber), OscValue::Int(clip), OscValue::Int(clipCount)}});
}

void OscBridge::sendGesture(int result, const std::string& name, int phase, int speed, int accel,
                            int width) {
    port_.send({"/kalvento/gesture",
                {OscValue::Int(result), OscValue::Str(name), OscValue::Int(phase),
                 OscValue::Int(speed), OscValue::Int(accel), OscValue::Int(width)}});
}

void OscBridge::receive(SharedBlock& block, BlockBytes& copy, int64_t nowMicros) {
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

void OscBridge::handle(const OscMessage& message, SharedBlock& block, BlockBytes& copy,
                       int64_t nowMicros) {
    const std::vector<OscValue>& args = message.args;
    if (message.path == "/kalvento/key") {
        int key = 0;
        if (args.size() == 1 && args[0].type == 's' && args[0].s.size() == 1)
            key = static_cast<unsigned char>(args[0].s[0]);
        else if (args.size() == 1 && args[0].type == 'i' && args[0].i >= 1 && args[0].i <= 255)
            key = args[0].i;
        if (key == 0) {
            ++counters_.malformed;
        } else if (keys_.size() >= kKeyQueueLimit) {
            ++counters_.overflow;
        } else {
            keys_.push_back(key);
            ++counters_.keys;
        }
        return;
    }
    if (message.path == "/kalvento/motion") {
        // Camera number, motion amount, and (ignored here) the sender's total and threshold.
        if (args.size() != 4 || args[0].type != 'i' || args[1].type != 'i' || args[0].i < 0 ||
            args[0].i >= kWebCamSlots || args[1].i < 0) {
            ++counters_.malformed;
            return;
        }
        publishMotion(block, copy, args[0].i, args[1].i);
        // 0 means "no value" in the clock too, so a message at time 0 still counts as seen.
        remoteSeen_[args[0].i] = nowMicros != 0 ? nowMicros : 1;
        ++counters_.motions;
        return;
    }
    ++counters_.unknown;
}

int OscBridge::takeKey() {
    if (keys_.empty()) return 0;
    int key = keys_.front();
    keys_.pop_front();
    return key;
}

}  // namespace kalvento
