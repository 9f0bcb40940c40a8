#include "platform/websocket_frames.h"

#include <gtest/gtest.h>

namespace kalvento {
namespace {

// A client frame: masked with the key 1, 2, 3, 4 as RFC 6455 asks of clients.
std::string clientFrame(int opcode, const std::string& payload, bool final = true,
                        uint64_t announced = UINT64_MAX) {
    const uint64_t length = announced == UINT64_MAX ? payload.size() : announced;
    std::string frame(1, static_cast<char>((final ? 0x80 : 0) | opcode));
    if (length < 126) {
        frame += static_cast<char>(0x80 | length);
    } else if (length < 65536) {
        frame += static_cast<char>(0x80 | 126);
        for (int shift : {8, 0}) frame += static_cast<char>(length >> shift);
    } else {
        frame += static_cast<char>(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>(length >> shift);
    }
    const char mask[4] = {1, 2, 3, 4};
    frame.append(mask, 4);
    for (size_t i = 0; i < payload.size(); ++i) frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    return frame;
}

TEST(WebSocketFrames, FramesAreReadInPiecesAndLargeOrBrokenOnesEndTheStream) {
    using Problem = WebSocketFrameReader::Problem;
    const std::string unmasked = std::string("\x81\x02hi", 4);
    const struct {
        const char* what;
        std::string bytes;
        size_t frames;
        Problem problem;
    } cases[] = {
        {"text", clientFrame(1, "hello"), 1, Problem::None},
        {"ping and close", clientFrame(9, "p") + clientFrame(8, ""), 2, Problem::None},
        {"at the limit", clientFrame(2, std::string(1024, 'x')), 1, Problem::None},
        {"one byte over", clientFrame(2, std::string(1025, 'x')), 0, Problem::TooLarge},
        {"1 GiB announced", clientFrame(2, "", true, uint64_t{1} << 30), 0, Problem::TooLarge},
        {"2^63 announced", clientFrame(2, "", true, uint64_t{1} << 63), 0, Problem::TooLarge},
        {"continued to over the limit",
         clientFrame(1, std::string(600, 'a'), false) + clientFrame(0, std::string(600, 'b')), 1,
         Problem::TooLarge},
        {"continued within", clientFrame(1, "ab", false) + clientFrame(0, "cd"), 2, Problem::None},
        {"unmasked", unmasked, 0, Problem::Malformed},
        {"reserved bits", std::string("\xf1\x80\0\0\0\0", 6), 0, Problem::Malformed},
        {"unknown opcode", clientFrame(5, ""), 0, Problem::Malformed},
        {"long control frame", clientFrame(9, std::string(126, 'p')), 0, Problem::Malformed},
        {"continuation without a start", clientFrame(0, "x"), 0, Problem::Malformed},
        {"half a header", std::string("\x82\xff\0\0", 4), 0, Problem::None},
    };
    for (const auto& c : cases) {
        for (size_t piece : {size_t{1}, size_t{7}, c.bytes.size()}) {
            WebSocketFrameReader reader(1024);
            std::vector<WebSocketFrame> frames;
            for (size_t at = 0; at < c.bytes.size(); at += piece)
                reader.feed(std::string_view(c.bytes).substr(at, piece), frames);
            EXPECT_EQ(frames.size(), c.frames) << c.what << " in pieces of " << piece;
            EXPECT_EQ(reader.problem(), c.problem) << c.what << " in pieces of " << piece;
            EXPECT_LE(reader.held(), 14u + 1024u + piece) << c.what;
        }
    }
    WebSocketFrameReader reader(1024);
    std::vector<WebSocketFrame> frames;
    EXPECT_TRUE(reader.feed(clientFrame(1, "hello") + clientFrame(9, "p"), frames));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].payload, "hello");
    EXPECT_EQ(frames[1].opcode, WebSocketFrame::Ping);
    EXPECT_FALSE(reader.feed(clientFrame(2, "", true, 5000), frames));
    EXPECT_FALSE(reader.feed(clientFrame(1, "late"), frames)) << "a broken stream stays broken";
}

}  // namespace
}  // namespace kalvento
