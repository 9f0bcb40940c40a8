// What arrives on the OSC port: one datagram, a message or a bundle of them (nested), decoded
// as the port does and then acted on as the player does (keys queued, remote motion written
// into a block held in memory).

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "ipc/osc_link.h"
#include "platform/osc.h"
#include "support/fake_osc_port.h"

namespace {

using namespace kalvento;

class MemoryBlock final : public SharedBlock {
public:
    bool exchange(BlockBytes& copy, const std::function<void(BlockBytes&)>& change) override {
        copy = bytes;
        if (!change) return true;
        change(copy);
        bytes = copy;
        return true;
    }
    BlockBytes bytes{};
};

bool isSound(const OscDatagram& datagram, size_t size) {
    if (datagram.kind == OscDatagram::Oversized) return size > kMaxOscDatagram;
    if (datagram.kind == OscDatagram::Malformed) return datagram.message.path.empty();
    if (datagram.message.path.size() >= size) return false;
    for (const OscValue& value : datagram.message.args)
        if (std::strchr("ifsdh", value.type) == nullptr || value.s.size() >= size) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!isSound(decodeOscDatagram(data, size), size)) __builtin_trap();
    std::vector<OscDatagram> datagrams;
    decodeOscPacket(data, size, datagrams);
    // Every element of a bundle takes eight bytes at least (its size and a path); an empty
    // bundle gives nothing.
    if (datagrams.size() > size / 8 + 1) __builtin_trap();
    test::FakeOscPort port;
    for (OscDatagram& datagram : datagrams) {
        if (!isSound(datagram, size)) __builtin_trap();
        port.incoming.push_back(std::move(datagram));
    }
    KeySet keys;
    keys.addAll();
    OscLink link(port, keys, 30);
    MemoryBlock block;
    BlockBytes copy{};
    link.receive(block, copy, 1'000'000);
    for (int key; (key = link.takeKey()) != 0;)
        if (key < 1 || key > 255) __builtin_trap();
    link.receive(block, copy, 3'000'000);  // the remote slots go stale and are cleared
    return 0;
}
