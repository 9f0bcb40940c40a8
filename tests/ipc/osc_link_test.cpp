// The OSC link: what it sends and how often, and what it does with every kind of datagram that
// arrives.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <lo/lo.h>

#include <cstdlib>
#include <cstring>

#include "ipc/osc_link.h"
#include "ipc/shared_motion.h"
#include "support/fake_osc_port.h"

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

    // Doubles and 64-bit ints, as other software sends numbers.
    lo_message wide = lo_message_new();
    lo_message_add_double(wide, 1.5);
    lo_message_add_int64(wide, int64_t{1} << 40);
    bytes = encode("/kalvento/motion", wide);
    d = decodeOscDatagram(bytes.data(), bytes.size());
    ASSERT_EQ(d.kind, OscDatagram::Message);
    ASSERT_EQ(d.message.args.size(), 2u);
    EXPECT_EQ(d.message.args[0].number(), 1.5);
    EXPECT_EQ(d.message.args[1].h, int64_t{1} << 40);

    // Truncated, garbage, a type the link never acts on, and too large.
    EXPECT_EQ(decodeOscDatagram(bytes.data(), bytes.size() - 3).kind, OscDatagram::Malformed);
    EXPECT_EQ(decodeOscDatagram("hello world!", 12).kind, OscDatagram::Malformed);
    lo_message blob = lo_message_new();
    lo_message_add_char(blob, 'x');
    bytes = encode("/kalvento/key", blob);
    EXPECT_EQ(decodeOscDatagram(bytes.data(), bytes.size()).kind, OscDatagram::Malformed);
    std::string big(kMaxOscDatagram + 1, '/');
    EXPECT_EQ(decodeOscDatagram(big.data(), big.size()).kind, OscDatagram::Oversized);
}

lo_message keyMessage(const char* key) {
    lo_message message = lo_message_new();
    lo_message_add_string(message, key);
    return message;
}

TEST(OscPacket, BundlesNestAndActAtOnceWhateverTheirTimeTag) {
    // A bundle for an hour from now holding a key, a nested bundle (a motion and another
    // bundle with a key) and a second key.
    lo_timetag later{0, 0};
    lo_timetag_now(&later);
    later.sec += 3600;
    lo_bundle inner = lo_bundle_new(later);
    lo_bundle innermost = lo_bundle_new(LO_TT_IMMEDIATE);
    lo_bundle_add_message(innermost, "/kalvento/key", keyMessage("J"));
    lo_message motion = lo_message_new();
    for (float v : {5.0f, 900.6f, 0.0f, 0.0f}) lo_message_add_float(motion, v);
    lo_bundle_add_message(inner, "/kalvento/motion", motion);
    lo_bundle_add_bundle(inner, innermost);
    lo_bundle outer = lo_bundle_new(later);
    lo_bundle_add_message(outer, "/kalvento/key", keyMessage("x"));
    lo_bundle_add_bundle(outer, inner);
    lo_bundle_add_message(outer, "/kalvento/key", keyMessage("z"));
    size_t size = 0;
    void* data = lo_bundle_serialise(outer, nullptr, &size);
    std::string bytes(static_cast<const char*>(data), size);
    std::free(data);
    lo_bundle_free_recursive(outer);

    std::vector<OscDatagram> out;
    decodeOscPacket(bytes.data(), bytes.size(), out);
    ASSERT_EQ(out.size(), 4u);
    const char* paths[] = {"/kalvento/key", "/kalvento/motion", "/kalvento/key", "/kalvento/key"};
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].kind, OscDatagram::Message) << i;
        EXPECT_EQ(out[i].message.path, paths[i]) << i;
    }
    EXPECT_EQ(out[0].message.args[0].s, "x");
    EXPECT_FLOAT_EQ(out[1].message.args[1].f, 900.6f);
    EXPECT_EQ(out[2].message.args[0].s, "J");
    EXPECT_EQ(out[3].message.args[0].s, "z");

    // Broken framing ends the bundle with one Malformed entry after what came before it.
    struct Broken {
        size_t keep;      // bytes of the bundle kept
        uint32_t length;  // written over the first element's size when not 0
        size_t expected;  // entries
    };
    for (const Broken& b : {Broken{bytes.size() - 4, 0, 4}, Broken{bytes.size(), 7, 1},
                            Broken{bytes.size(), 4096, 1}, Broken{18, 0, 1}, Broken{12, 0, 1}}) {
        std::string cut = bytes.substr(0, b.keep);
        if (b.length != 0) {
            uint32_t big = htonl(b.length);
            std::memcpy(cut.data() + 16, &big, 4);
        }
        out.clear();
        decodeOscPacket(cut.data(), cut.size(), out);
        ASSERT_EQ(out.size(), b.expected) << b.keep << " " << b.length;
        EXPECT_EQ(out.back().kind, OscDatagram::Malformed);
    }

    // Bundles nested deeper than the limit are refused; an empty bundle holds nothing.
    std::string deep = bytes.substr(0, 16);
    std::string nested = deep;
    for (int depth = 1; depth < kMaxOscBundleDepth + 1; ++depth) {
        uint32_t length = htonl(static_cast<uint32_t>(nested.size()));
        nested = deep + std::string(reinterpret_cast<const char*>(&length), 4) + nested;
    }
    out.clear();
    decodeOscPacket(nested.data(), nested.size(), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, OscDatagram::Malformed);
    out.clear();
    decodeOscPacket(deep.data(), deep.size(), out);
    EXPECT_TRUE(out.empty());
}

TEST(OscLink, NumbersOfEveryTypeRefusedKeysAndTheSlotsItFilled) {
    test::FakeOscPort port;
    OscLink link(
        port,
        *[] {
            std::string error;
            return parseKeyList("x,J,ENTER", error);
        }(),
        60);
    MemorySharedBlock block;
    BlockBytes copy{};
    auto motion = [](OscValue camera, OscValue amount) {
        return message("/kalvento/motion",
                       {camera, amount, OscValue::Double(0), OscValue::Int64(0)});
    };
    const OscDatagram cases[] = {
        message("/kalvento/key", {OscValue::Float(120.0f)}),     // x
        message("/kalvento/key", {OscValue::Double(74.0)}),      // J
        message("/kalvento/key", {OscValue::Int64(13)}),         // ENTER
        message("/kalvento/key", {OscValue::Float(120.5f)}),     // not whole
        message("/kalvento/key", {OscValue::Int64(256 + 120)}),  // beyond one byte
        message("/kalvento/key", {OscValue::Double(0.0)}),       // no key
        message("/kalvento/key", {OscValue::Int(27)}),           // ESC: refused
        message("/kalvento/key", {OscValue::Str("*")}),          // refused
        message("/kalvento/key", {OscValue::Str("z")}),          // refused
        motion(OscValue::Float(2.0f), OscValue::Float(900.6f)),
        motion(OscValue::Double(3.0), OscValue::Double(99.4)),
        motion(OscValue::Int64(4), OscValue::Int64(50)),
        motion(OscValue::Float(2.5f), OscValue::Int(1)),   // camera not whole
        motion(OscValue::Int(6), OscValue::Float(-0.6f)),  // negative once rounded
        motion(OscValue::Int(6), OscValue::Double(1e12)),  // beyond an int
        motion(OscValue::Int(6), OscValue::Str("9")),      // not a number
        message("/kalvento/motion",
                {OscValue::Int(6), OscValue::Int(1), OscValue::Str("a"), OscValue::Int(0)}),
    };
    for (const OscDatagram& c : cases) port.incoming.push_back(c);
    link.receive(block, copy, 5000);
    EXPECT_EQ(link.takeKey(), 'x');
    EXPECT_EQ(link.takeKey(), 'J');
    EXPECT_EQ(link.takeKey(), 13);
    EXPECT_EQ(link.takeKey(), 0);
    BlockBytes seen{};
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 2), 901);
    EXPECT_EQ(webCamOf(seen, 3), 99);
    EXPECT_EQ(webCamOf(seen, 4), 50);
    EXPECT_EQ(webCamOf(seen, 6), 0);
    const OscCounters& n = link.counters();
    EXPECT_EQ(n.keys, 3);
    EXPECT_EQ(n.refused, 3);
    EXPECT_EQ(n.malformed, 8);
    EXPECT_EQ(n.motions, 3);
    EXPECT_EQ(n.dropped(), 11);

    // Clearing takes back exactly the slots the link filled; another player's stays.
    publishMotion(block, copy, 9, 77);
    link.clearRemoteSlots(block, copy);
    readSharedMotion(block, seen);
    for (int slot : {2, 3, 4}) EXPECT_EQ(webCamOf(seen, slot), 0) << slot;
    EXPECT_EQ(webCamOf(seen, 9), 77);
    EXPECT_EQ(diffSumOf(seen), 77);
}

TEST(OscLink, KeysQueueInOrderRemoteMotionFillsItsSlotAndTheRestIsCounted) {
    test::FakeOscPort port;
    OscLink link(port, defaultRemoteKeys(), 60);
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
    link.receive(block, copy, 1000);

    EXPECT_EQ(link.takeKey(), 'x');
    EXPECT_EQ(link.takeKey(), 'J');
    EXPECT_EQ(link.takeKey(), 0);
    BlockBytes seen{};
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 900);
    EXPECT_EQ(diffSumOf(seen), 900);
    const OscCounters& n = link.counters();
    EXPECT_EQ(n.keys, 2);
    EXPECT_EQ(n.motions, 1);
    EXPECT_EQ(n.malformed, 8);  // seven bad messages and the garbage
    EXPECT_EQ(n.unknown, 1);
    EXPECT_EQ(n.oversized, 1);
    EXPECT_EQ(n.dropped(), 10);

    // A remote value that nothing refreshes goes after a second; a refreshed one stays.
    link.receive(block, copy, 1000 + OscLink::kRemoteMotionLifetimeMicros);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 900);
    link.receive(block, copy, 1001 + OscLink::kRemoteMotionLifetimeMicros);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 5), 0);
    EXPECT_EQ(diffSumOf(seen), 0);
}

TEST(OscLink, FullKeyQueueDropsAndCountsAndSendsOnlyChangedClips) {
    test::FakeOscPort port;
    OscLink link(port, defaultRemoteKeys(), 60);
    MemorySharedBlock block;
    BlockBytes copy{};
    for (size_t i = 0; i < OscLink::kKeyQueueLimit + 5; ++i)
        port.incoming.push_back(message("/kalvento/key", {OscValue::Str("x")}));
    link.receive(block, copy, 1);
    EXPECT_EQ(link.counters().keys, static_cast<int64_t>(OscLink::kKeyQueueLimit));
    EXPECT_EQ(link.counters().overflow, 5);

    link.sendClip(1, 7, 100);
    link.sendClip(1, 7, 100);
    link.sendClip(1, 8, 100);
    link.sendMotion(0, 3, 10, 20, 30);
    link.sendGesture(1, "B", 4, 50, -2, 100);
    ASSERT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(port.sent[0].path, "/kalvento/clip");
    EXPECT_EQ(port.sent[1].args[1].i, 8);
    EXPECT_EQ(port.sent[2].path, "/kalvento/motion");
    EXPECT_EQ(port.sent[2].args[3].i, 30);
    EXPECT_EQ(port.sent[3].args[1].s, "B");
}

TEST(OscLink, MotionGoesAtMostAtItsRateAndTheCountsOnceASecond) {
    test::FakeOscPort port;
    OscLink link(port, defaultRemoteKeys(), 10);
    struct Turn {
        int64_t micros;
        bool sent;
    };
    for (Turn turn :
         {Turn{0, true}, Turn{50000, false}, Turn{100000, true}, Turn{250000, true},
          Turn{300000, true}, Turn{1000000, true}, Turn{1050000, false}, Turn{1100000, true}}) {
        const size_t before = port.sent.size();
        link.sendMotion(turn.micros, 3, 10, 20, 30);
        EXPECT_EQ(port.sent.size() - before, turn.sent ? 1u : 0u) << "at " << turn.micros;
    }
    EXPECT_TRUE(link.countsDue(5'000'000));
    EXPECT_FALSE(link.countsDue(5'999'999)) << "the counts are due once a second";
    EXPECT_TRUE(link.countsDue(6'000'000));
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
