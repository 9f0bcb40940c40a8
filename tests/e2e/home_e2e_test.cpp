// Two real players, headless, fill one home folder at the same time: each copies a folder of
// its own with U. Both working directories lie in the same contents root, so both write into
// the same home folder. Every frame must arrive exactly once, and no slot may be overwritten.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <future>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

constexpr int kClipsPerFolder = 300;

std::string clipName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "clip_%05d.jpg", n);
    return name;
}

// The slot each source frame was last announced for in a player's copy lines: a slot the
// other player took first is announced once more under the next free slot.
std::map<std::pair<int, int>, int> announcedSlots(const std::string& out, size_t& lines) {
    static const std::regex line(
        R"( EXECUTING:  copy \.\./S(\d+)/clip_(\d+)\.jpg \.\./clip_(\d+)\.jpg  <<<)");
    std::map<std::pair<int, int>, int> slots;
    lines = 0;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) {
        slots[{std::stoi((*it)[1]), std::stoi((*it)[2])}] = std::stoi((*it)[3]);
        ++lines;
    }
    return slots;
}

// Keys for a player's run: `before` and U, then SPACE pauses of 30 ms of real time between
// groups of nine frames, so that each copy is spread over about a second and the two
// players' copies overlap however their start-ups differ.
std::string copyScript(const std::string& before) {
    std::string script = before + "key U\n";
    for (int group = 0; group < kClipsPerFolder / 9 - 1; ++group)
        script += "idle 9\nkey SPACE\nsleep 30\nkey x\n";
    return script;
}

TEST(HomeFolderE2E, TwoPlayersCopyingAtOnceLoseAndOverwriteNothing) {
    Workspace ws;
    ws.addClipRange(1, kClipsPerFolder);
    ws.addClipRange(2, kClipsPerFolder);
    const std::string secondWork = ws.root() + "/work2";
    fs::create_directories(secondWork);

    // Which source each content belongs to; every clip must be told apart by its bytes.
    std::map<std::string, std::pair<int, int>> sourceOf;  // bytes -> (folder, clip)
    for (int folderNo = 1; folderNo <= 2; ++folderNo)
        for (int n = 0; n < kClipsPerFolder; ++n) {
            const std::string bytes = readFile(ws.folder(folderNo) + "/" + clipName(n));
            ASSERT_FALSE(bytes.empty());
            ASSERT_TRUE(sourceOf.emplace(bytes, std::make_pair(folderNo, n)).second)
                << "two clips with the same bytes";
        }

    writeFile(ws.work() + "/input.txt", copyScript(""));
    writeFile(secondWork + "/input.txt", copyScript("key 2\n"));  // S002 first
    const std::string pid = std::to_string(::getpid());
    auto first = std::async(std::launch::async, [&] {
        return runPlayer({"--input", "input.txt", "--shm-name", "kalvento_home_a_" + pid},
                         ws.work());
    });
    auto second = std::async(std::launch::async, [&] {
        return runPlayer({"--input", "input.txt", "--shm-name", "kalvento_home_b_" + pid},
                         secondWork);
    });
    const RunResult a = first.get();
    const RunResult b = second.get();
    ASSERT_FALSE(a.timedOut);
    ASSERT_FALSE(b.timedOut);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(count(a.out, "\n* COPY COMPLETED.\n\n"), 1u);
    EXPECT_EQ(count(b.out, "\n* COPY COMPLETED.\n\n"), 1u);
    EXPECT_EQ(a.err.find("ERROR"), std::string::npos) << a.err;
    EXPECT_EQ(b.err.find("ERROR"), std::string::npos) << b.err;

    // The home folder holds slots 0 .. 2N-1 and nothing else, each one a different source.
    constexpr int kTotal = 2 * kClipsPerFolder;
    int homeFiles = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(ws.root()))
        if (entry.is_regular_file()) ++homeFiles;
    EXPECT_EQ(homeFiles, kTotal);
    std::map<std::pair<int, int>, int> slotOf;  // source -> slot
    std::vector<std::vector<int>> clipsInSlotOrder(3);
    for (int slot = 0; slot < kTotal; ++slot) {
        const std::string bytes = readFile(ws.root() + "/" + clipName(slot));
        auto source = sourceOf.find(bytes);
        ASSERT_NE(source, sourceOf.end()) << "slot " << slot << " holds no clip's bytes";
        EXPECT_TRUE(slotOf.emplace(source->second, slot).second)
            << "S00" << source->second.first << " clip " << source->second.second << " twice";
        clipsInSlotOrder[static_cast<size_t>(source->second.first)].push_back(
            source->second.second);
    }
    EXPECT_EQ(slotOf.size(), static_cast<size_t>(kTotal)) << "a frame is missing";
    // Each player appended its frames in their order.
    for (int folderNo = 1; folderNo <= 2; ++folderNo) {
        const std::vector<int>& clips = clipsInSlotOrder[static_cast<size_t>(folderNo)];
        ASSERT_EQ(clips.size(), static_cast<size_t>(kClipsPerFolder));
        for (int n = 0; n < kClipsPerFolder; ++n) EXPECT_EQ(clips[static_cast<size_t>(n)], n);
    }

    // The copies really ran at the same time: the first player's slots are not one block.
    std::vector<int> slotsOfA;
    for (int n = 0; n < kClipsPerFolder; ++n) slotsOfA.push_back(slotOf.at({1, n}));
    EXPECT_NE(slotsOfA.back() - slotsOfA.front(), kClipsPerFolder - 1)
        << "the two copies did not overlap; the race was not exercised";
    // Each player's console names the slot where each of its frames really went.
    size_t linesA = 0, linesB = 0;
    std::map<std::pair<int, int>, int> announced = announcedSlots(a.out, linesA);
    announced.merge(announcedSlots(b.out, linesB));
    EXPECT_EQ(announced, slotOf);
    // Copies retried because the other player had just taken the slot.
    ::testing::Test::RecordProperty("retried_copies", static_cast<int>(linesA + linesB) - kTotal);
    EXPECT_GE(linesA, static_cast<size_t>(kClipsPerFolder));
    EXPECT_GE(linesB, static_cast<size_t>(kClipsPerFolder));
}

}  // namespace
}  // namespace kalvento::test
