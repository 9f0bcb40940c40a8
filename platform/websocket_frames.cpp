#include "platform/websocket_frames.h"

namespace kalvento {

bool WebSocketFrameReader::fail(Problem problem) {
    problem_ = problem;
    buffer_.clear();
    return false;
}

bool WebSocketFrameReader::feed(std::string_view bytes, std::vector<WebSocketFrame>& frames) {
    if (problem_ != Problem::None) return false;
    // Held: at most one unfinished frame, so the buffer never grows past a frame's bounds.
    buffer_.append(bytes);
    while (takeFrame(frames)) {
    }
    return problem_ == Problem::None;
}

bool WebSocketFrameReader::takeFrame(std::vector<WebSocketFrame>& frames) {
    const auto byte = [this](size_t i) { return static_cast<uint8_t>(buffer_[i]); };
    if (buffer_.size() < 2) return false;
    const bool final = (byte(0) & 0x80) != 0;
    const int opcode = byte(0) & 0x0F;
    const bool masked = (byte(1) & 0x80) != 0;
    if ((byte(0) & 0x70) != 0 || !masked) return fail(Problem::Malformed);
    const bool control = opcode >= 8;
    if (opcode > 10 || (opcode > 2 && opcode < 8)) return fail(Problem::Malformed);
    uint64_t length = byte(1) & 0x7F;
    size_t header = 2;
    if (length == 126 || length == 127) {
        const size_t extra = length == 126 ? 2 : 8;
        if (buffer_.size() < 2 + extra) return false;
        length = 0;
        for (size_t i = 0; i < extra; ++i) length = length << 8 | byte(2 + i);
        header += extra;
    }
    if (control && (!final || length > 125)) return fail(Problem::Malformed);
    if (!control && (opcode == WebSocketFrame::Continuation) != inMessage_)
        return fail(Problem::Malformed);
    const uint64_t total = control ? length : messageBytes_ + length;
    if (length > maxPayload_ || total > maxPayload_) return fail(Problem::TooLarge);
    header += 4;  // the mask
    if (buffer_.size() < header + length) return false;
    WebSocketFrame frame;
    frame.opcode = opcode;
    frame.final = final;
    frame.payload = buffer_.substr(header, static_cast<size_t>(length));
    for (size_t i = 0; i < frame.payload.size(); ++i)
        frame.payload[i] = static_cast<char>(frame.payload[i] ^ buffer_[header - 4 + i % 4]);
    buffer_.erase(0, header + static_cast<size_t>(length));
    if (!control) {
        inMessage_ = !final;
        messageBytes_ = final ? 0 : total;
    }
    frames.push_back(std::move(frame));
    return true;
}

}  // namespace kalvento
