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
        {"ENTER,ESC,TAB,BS,SPACE,COMMA,F1", "\r\x1b\t\b ,\x11", "xq"},
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
    for (const char* bad : {"x,,z", "xz", "enter", "x,", " ", "é", "f1", "\x01"}) {
        std::string error;
        EXPECT_FALSE(parseKeyList(bad, error)) << bad;
        EXPECT_NE(error.find("unknown key"), std::string::npos) << bad;
    }
}

TEST(KeyList, TheDefaultMovesAndChangesTheViewButNeverPausesWritesOrStartsAProgram) {
    const KeySet keys = defaultRemoteKeys();
    // Steps, jumps, folders, the random clip, replay, speed, mirror, mouse modes, q, i, ;.
    for (char key : std::string("zxZX/\\,.!\"#$%&'()lJ@0123456789nNpPR\tsSe mM`qi;"))
        EXPECT_TRUE(keys.contains(static_cast<unsigned char>(key))) << key;
    // Pause and help; writing, deleting and copying keys; movies and other programs; the
    // threshold and camera-number keys, which write settings files; j, whose search writes a
    // marker into every contents folder it finds.
    for (char key : std::string("\x1b\r\b*+:OKoctTUkAC{}EIQY^WLgvVhHdDFf<>rw[]j"))
        EXPECT_FALSE(keys.contains(static_cast<unsigned char>(key))) << key;
    EXPECT_EQ(keys.size(), 46u);
    EXPECT_FALSE(keys.contains(17));  // F1, the display level: asked for by name
}

TEST(KeyList, NamesAndCodesReadBothWays) {
    const struct {
        const char* name;
        int code;
    } cases[] = {{"ESC", 27}, {"ENTER", 13}, {"TAB", 9}, {"BS", 8}, {"SPACE", 32},
                 {"COMMA", ','}, {"F1", 17},  {"x", 'x'}, {"~", '~'}, {"!", '!'}};
    for (const auto& c : cases) {
        EXPECT_EQ(keyCodeOf(c.name), c.code) << c.name;
        EXPECT_EQ(keyNameOf(c.code), c.name) << c.code;
    }
    EXPECT_EQ(keyCodeOf(","), ',');  // a single comma names itself outside a list
    for (const char* none : {"", "xx", " ", "esc", "\x7f", "F2"}) EXPECT_EQ(keyCodeOf(none), 0) << none;
    EXPECT_EQ(keyNameOf(1), "code 1");
    EXPECT_EQ(keyNameOf(200), "code 200");
    std::string error;
    EXPECT_EQ(parseKeyList("z,ESC,x,z", error)->codes(), (std::vector<int>{27, 'x', 'z'}));
    EXPECT_EQ(parseKeyList("all", error)->codes().size(), 256u);
}

}  // namespace
}  // namespace kalvento
