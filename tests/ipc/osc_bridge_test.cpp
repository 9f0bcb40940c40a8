// The OSC bridge: what it sends, and what it does with every kind of datagram that arrives.

#include <gtest/gtest.h>

#include <lo/lo.h>

#include <cstdlib>
#include <cstring>

#include "ipc/osc_bridge.h"
#include "ipc/shared_motion.h"

namespace kalvento {
namespace {

// The datagram liblo makes of `types` / arguments for `path`.
std::string encode(const char* path, lo_message message) {
    size_t size = 0;
    void* data = lo_message_serialise(message, path, nullptr, &size);
    std::string bytes(static_cast<const char*>(data), size);
    std::free(data);
    lo_message_free(message);
    return bytes;
}

OscDatagram message(std::string path, std::vector<OscValue> args) {
    return {OscDatagram::Message, {std::move(path), std::move(args)}};
}

TEST(OscDatagram, DecodesWhatLibloEncodesAndRefusesTheRest) {
    lo_message key = lo_message_new();
    lo_message_add_string(key, "x");
    std::string bytes = encode("/kalvento/key", key);
    OscDatagram d = decodeOscDatagram(bytes.data(), bytes.size());
    ASSERT_EQ(d.kind, OscDatagram::Message);
    EXPECT_EQ(d.message.path, "/kalvento/key");
    ASSERT_EQ(d.message.args.size(), 1u);
    EXPECT_EQ(d.message.args[0].s, "x");

    lo_message motion = lo_message_new();
    for (int v : {3, 1200, 1500, 11500}) lo_message_add_int32(motion, v);
    bytes = encode("/kalvento/motion", motion);
    d = decodeOscDatagram(bytes.data(), bytes.size());
    ASSERT_EQ(d.kind, OscDatagram::Message);
    ASSERT_EQ(d.message.args.size(), 4u);
    EXPECT_EQ(d.message.args[1].i, 1200);

    // Truncated, garbage, a type the bridge never acts on, and too large.
    EXPECT_EQ(decodeOscDatagram(bytes.data(), bytes.size() - 3).kind, OscDatagram::Malformed);
    EXPECT_EQ(decodeOscDatagram("hello world!", 12).kind, OscDatagram::Malformed);
    lo_message blob = lo_message_new();
    lo_message_add_double(blob, 1.5);
    bytes = encode("/kalvento/key", blob);
    EXPECT_EQ(decodeOscDatagram(bytes.data(), bytes.size()).kind, OscDatagram::Malformed);
    std::string big(kMaxOscDatagram + 1, '/');
    EXPECT_EQ(decodeOscDatagram(big.data(), big.size()).kind, OscDatagram::Oversized);
}

TEST(OscBridge, KeysQueueInOrderRemoteMotionFillsItsSlotAndTheRestIsCounted) {
    FakeOscPort port;
    OscBridge bridge(port);
    MemorySharedBlock block;
    BlockBytes copy{};
    struct Case {
        OscDatagram datagram;
        const char* what;
    };
    const Case cases[] = {
        {message("/kalvento/key", {OscValue::Str("x")}), "key x"},
        {message("/kalvento/key", {OscValue::Int('J')}), "key J by code"},
        {message("/kalvento/key", {OscValue::Str("xy")}), "two characters"},
        {message("/kalvento/key", {OscValue::Int(3302)}), "a code beyond one byte"},
        {message("/kalvento/key", {}), "no argument"},
        {message("/kalvento/motion",
                 {OscValue::Int(5), OscValue::Int(900), OscValue::Int(0), OscValue::Int(0)}),
         "motion of camera 5"},
        {message("/kalvento/motion",
                 {OscValue::Int(32), OscValue::Int(900), OscValue::Int(0), OscValue::Int(0)}),
         "camera 32"},
        {message("/kalvento/motion",
                 {OscValue::Int(-1), OscValue::Int(900), OscValue::Int(0), OscValue::Int(0)}),
         "camera -1"},
        {message("/kalvento/motion",
                 {OscValue::Int(1), OscValue::Int(-5), OscValue::Int(0), OscValue::Int(0)}),
         "negative motion"},
        {message("/kalvento/motion", {OscValue::Int(1)}), "too few values"},
        {message("/kalvento/quit", {}), "unknown address"},
        {{OscDatagram::Malformed, {}}, "garbage"},
        {{OscDatagram::Oversized, {}}, "oversized"},
    };
    for (const Case& c : cases) port.incoming.push_back(c.datagram);
    bridge.receive(block, copy, 1000);

    EXPECT_EQ(bridge.takeKey(), 'x');
    EXPECT_EQ(bridge.takeKey(), 'J');
    EXPECT_EQ(bridge.takeKey(), 0);
    BlockBytes seen{};
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 900);
    EXPECT_EQ(diffSumOf(seen), 900);
    const OscCounters& n = bridge.counters();
    EXPECT_EQ(n.keys, 2);
    EXPECT_EQ(n.motions, 1);
    EXPECT_EQ(n.malformed, 8);  // seven bad messages and the garbage
    EXPECT_EQ(n.unknown, 1);
    EXPECT_EQ(n.oversized, 1);
    EXPECT_EQ(n.dropped(), 10);

    // A remote value that nothing refreshes goes after a second; a refreshed one stays.
    bridge.receive(block, copy, 1000 + OscBridge::kRemoteMotionLifetimeMicros);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 900);
    bridge.receive(block, copy, 1001 + OscBridge::kRemoteMotionLifetimeMicros);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 0);
    EXPECT_EQ(diffSumOf(seen), 0);
}

TEST(OscBridge, FullKeyQueueDropsAndCountsAndSendsOnlyChangedClips) {
    FakeOscPort port;
    OscBridge bridge(port);
    MemorySharedBlock block;
    BlockBytes copy{};
    for (size_t i = 0; i < OscBridge::kKeyQueueLimit + 5; ++i)
        port.incoming.push_back(message("/kalvento/key", {OscValue::Str("x")}));
    bridge.receive(block, copy, 1);
    EXPECT_EQ(bridge.counters().keys, static_cast<int64_t>(OscBridge::kKeyQueueLimit));
    EXPECT_EQ(bridge.counters().overflow, 5);

    bridge.sendClip(1, 7, 100);
    bridge.sendClip(1, 7, 100);
    bridge.sendClip(1, 8, 100);
    bridge.sendMotion(3, 10, 20, 30);
    bridge.sendGesture(1, "B", 4, 50, -2, 100);
    ASSERT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(port.sent[0].path, "/kalvento/clip");
    EXPECT_EQ(port.sent[1].args[1].i, 8);
    EXPECT_EQ(port.sent[2].path, "/kalvento/motion");
    EXPECT_EQ(port.sent[2].args[3].i, 30);
    EXPECT_EQ(port.sent[3].args[1].s, "B");
}

TEST(OscAddress, SplitsHostAndPort) {
    std::string host;
    int port = 0;
    EXPECT_TRUE(splitOscAddress("192.168.1.20:9000", nullptr, host, port));
    EXPECT_EQ(host, "192.168.1.20");
    EXPECT_EQ(port, 9000);
    EXPECT_TRUE(splitOscAddress("7000", "127.0.0.1", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    for (const char* bad : {"7000", ":7000", "host:", "host:0", "host:65536", "host:12x"})
        EXPECT_FALSE(splitOscAddress(bad, nullptr, host, port)) << bad;
}

}  // namespace
}  // namespace kalvento
