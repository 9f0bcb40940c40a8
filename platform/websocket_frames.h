#pragma once
// Reads the frames a WebSocket client sends (RFC 6455), from bytes as they arrive, keeping at
// most one frame's header and a bounded payload: a frame that announces more than the limit
// ends the stream from its header alone, before any of its payload is held.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvento {

struct WebSocketFrame {
    enum Opcode : int { Continuation = 0, Text = 1, Binary = 2, Close = 8, Ping = 9, Pong = 10 };
    int opcode = Text;
    bool final = true;
    std::string payload;  // unmasked
};

class WebSocketFrameReader {
public:
    enum class Problem { None, TooLarge, Malformed };

    // Frames (and messages of continued frames) of up to `maxPayload` bytes are read.
    explicit WebSocketFrameReader(size_t maxPayload) : maxPayload_(maxPayload) {}

    // Takes the next bytes of the stream and appends the frames they complete to `frames`.
    // False once the stream is broken (see problem()); later calls then take nothing.
    bool feed(std::string_view bytes, std::vector<WebSocketFrame>& frames);
    Problem problem() const { return problem_; }
    // Bytes held now: at most a header (14), maxPayload and the bytes of the last feed.
    size_t held() const { return buffer_.size(); }

private:
    // Takes one whole frame from the front of the buffer; false when it is not all there yet
    // or the stream broke.
    bool takeFrame(std::vector<WebSocketFrame>& frames);
    bool fail(Problem problem);

    const size_t maxPayload_;
    std::string buffer_;
    size_t messageBytes_ = 0;  // payload of the message continued so far
    bool inMessage_ = false;
    Problem problem_ = Problem::None;
};

}  // namespace kalvento
