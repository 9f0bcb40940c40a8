#include "ipc/osc_link.h"

#include <cmath>
#include <cstdio>
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

// An argument as a command takes it: a string as it is, a whole number in decimal, another
// number in the shortest form that reads back the same.
std::string argumentText(const OscValue& value) {
    if (value.type == 's') return value.s;
    if (value.type == 'i') return std::to_string(value.i);
    if (value.type == 'h') return std::to_string(value.h);
    const double number = value.number();
    if (std::floor(number) == number && std::fabs(number) < 1e15)
        return std::to_string(static_cast<long long>(number));
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", number);
    return text;
}

}  // namespace

void OscLink::handle(const OscMessage& message, SharedBlock& block, BlockBytes& copy,
                     int64_t nowMicros) {
    if (message.path == "/kalvento/key")
        handleKey(message.args);
    else if (message.path == "/kalvento/command")
        handleCommand(message.args);
    else if (message.path == "/kalvento/status" && reported_)
        eachStateMessage(*reported_, nullptr, [this](const OscMessage& m) { port_.reply(m); });
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
    } else if (queue(Input::Key(*key, InputSource::Osc))) {
        ++counters_.keys;
    }
}

bool OscLink::queue(Input input) {
    if (inputs_.push(std::move(input))) return true;
    ++counters_.overflow;
    return false;
}

void OscLink::handleCommand(const std::vector<OscValue>& args) {
    if (args.empty() || args[0].type != 's' || args[0].s.empty()) {
        ++counters_.malformed;
        return;
    }
    std::vector<std::string> words;
    for (size_t i = 1; i < args.size(); ++i) words.push_back(argumentText(args[i]));
    const std::string& name = args[0].s;
    // `key K` is refused for a key the allowed keys do not hold, whatever the commands allow.
    const int key = name == "key" && words.size() == 1 ? keyArgumentCode(words[0]) : 0;
    const bool keyRefused = name == "key" && !allowedKeys_.contains(key);
    if (allowedCommands_.count(name) == 0 || keyRefused) {
        ++counters_.refused;
    } else if (queue(Input::Command(name, std::move(words), InputSource::Osc))) {
        ++counters_.commands;
    }
}

template <typename Send>
void OscLink::eachStateMessage(const PlayerReport& r, const PlayerReport* before, Send send) {
    auto number = [&](const char* path, int value, int old) {
        if (before == nullptr || value != old) send(OscMessage{path, {OscValue::Int(value)}});
    };
    const PlayerReport none{-1, -1, -1, -1, -1, -1, -1, -1, "\x01"};
    const PlayerReport& b = before != nullptr ? *before : none;
    number("/kalvento/folder", r.folder, b.folder);
    if (before == nullptr)
        send(OscMessage{"/kalvento/clip", {OscValue::Int(r.folder), OscValue::Int(r.clip),
                                           OscValue::Int(r.clipCount)}});
    number("/kalvento/threshold", r.threshold, b.threshold);
    number("/kalvento/osd", r.osd, b.osd);
    number("/kalvento/camera", r.camera, b.camera);
    number("/kalvento/follow", r.follow, b.follow);
    number("/kalvento/paused", r.paused, b.paused);
    if (before == nullptr || r.waiting != b.waiting)
        send(OscMessage{"/kalvento/waiting", {OscValue::Str(r.waiting)}});
}

void OscLink::sendState(const PlayerReport& report) {
    if (reported_ && *reported_ == report) return;
    const bool firstTime = !reported_;
    eachStateMessage(report, firstTime ? nullptr : &*reported_, [&](const OscMessage& m) {
        // The clip goes out through sendClip as it changes; the first report leaves it there.
        if (m.path != "/kalvento/clip") port_.send(m);
    });
    reported_ = report;
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
    while (std::optional<Input> input = inputs_.take())
        if (input->isKey()) return input->key;
    return 0;
}

}  // namespace kalvento
