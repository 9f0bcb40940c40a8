// The key lists of the remote controls: what a list accepts and the default.

#include <gtest/gtest.h>

#include <string>

#include "core/key_set.h"

namespace kalvento {
namespace {

TEST(KeyList, ReadsCharactersNamesDefaultAndAll) {
    struct Case {
        const char* list;
        std::string in;   // keys the list holds
        std::string out;  // keys it does not
    };
    const Case cases[] = {
        {"x,z,J", "xzJ", "XZj\x1b\r"},
        {"ENTER,ESC,TAB,BS,SPACE,COMMA", "\r\x1b\t\b ,", "xq"},
        {"default,ENTER", "xzq;i\r", "\x1b*+:OKWt"},
        {"", "", "xz\r\x1b"},
        {"all", "xz\r\x1b*\x01\xff", ""},
        {"\\,/", "\\/", ","},
    };
    for (const Case& c : cases) {
        std::string error;
        std::optional<KeySet> keys = parseKeyList(c.list, error);
        ASSERT_TRUE(keys) << c.list << ": " << error;
        for (char key : c.in) EXPECT_TRUE(keys->contains(static_cast<unsigned char>(key))) << c.list;
        for (char key : c.out)
            EXPECT_FALSE(keys->contains(static_cast<unsigned char>(key))) << c.list << " " << key;
    }
    for (const char* bad : {"x,,z", "xz", "enter", "x,", " ", "é"}) {
        std::string error;
        EXPECT_FALSE(parseKeyList(bad, error)) << bad;
        EXPECT_NE(error.find("unknown key"), std::string::npos) << bad;
    }
}

TEST(KeyList, TheDefaultMovesAndChangesTheViewButNeverPausesWritesOrStartsAProgram) {
    const KeySet keys = defaultRemoteKeys();
    // Steps, jumps, folders, random choices, replay, speed, mirror, mouse modes, q, i, ;.
    for (char key : std::string("zxZX/\\,.!\"#$%&'()lJj@0123456789nNpPR\tsSe mM`qi;"))
        EXPECT_TRUE(keys.contains(static_cast<unsigned char>(key))) << key;
    // Pause and help; writing, deleting and copying keys; movies and other programs; the
    // threshold and camera-number keys, which write settings files.
    for (char key : std::string("\x1b\r\b*+:OKoctTUkAC{}EIQY^WLgvVhHdDFf<>rw[]"))
        EXPECT_FALSE(keys.contains(static_cast<unsigned char>(key))) << key;
    EXPECT_EQ(keys.size(), 47u);
}

}  // namespace
}  // namespace kalvento
