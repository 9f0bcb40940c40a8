// The four knowledge-base files: names, layouts, the round trip, and damaged or missing files.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gesture/kb_files.h"
#include "gesture/view_weights.h"
#include "support/fake_recogniser_host.h"
#include "support/forwarding_file_ops.h"
#include "support/player_fixture.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

constexpr int kFolder = 7;

struct Kb {
    std::unique_ptr<Recogniser> r = std::make_unique<Recogniser>();
    GestureState g;
};

KbRecord sampleRecord(int v, int g, int s, double mark) {
    KbRecord record{};
    record.viewPoint = v;
    record.gesture = g;
    record.sample = s;
    for (int i = 0; i < kDirections; ++i) {
        record.Re[i] = mark + i * 0.25;
        record.Ps[i] = mark * 2 + i;
    }
    return record;
}

// A knowledge base whose parameters and tables differ from their start values.
void fillKnown(Kb& kb) {
    kb.r->params =
        KbParameters{700, 0.25, 3, 12.5, 4, 8, 2.0, 1.5, 2.0, 9, 0.02, 30, 2, 0.2, 6, 7.5, 1};
    kb.g.DThreshold = 33;
    kb.g.MThreshold = 44;
    kb.g.GRATE = 50;
    kb.g.CountdownStep = 3;
    KnowledgeBase& b = kb.r->kb;
    std::strcpy(b.labels[0].name, "Wave");
    b.labels[0].MotionLength = 6;
    for (int v = 0; v < kViewPoints; ++v) {
        size_t vi = static_cast<size_t>(v);
        for (int n = 0; n < 20; ++n)
            b.protocol(0, 0, v, n) = ProtocolEntry{1, 0, 0.3 + 0.02 * ((n + v) % 10), 1.0 + n % 6};
        b.ViewPointOn[vi] = v % 3 != 0;
        b.FixedViewPoint[vi] = v < 5;
        b.SampleCount[vi][0] = 6;
        for (int g = 0; g < kGestures; ++g) b.ReviewViewScore[static_cast<size_t>(g)][vi] = g + v;
    }
    for (size_t g = 0; g < kGestures; ++g) {
        b.AcceptLevel[g] = 100.0 + g;
        b.OK_VAR[g] = 1000.0 * g;
        b.ReviewSum[g] = {g * 1.0, g * 2.0, g * 3.0};
        b.ReviewCount[g] = {g == 1 ? 4 : 0, 5, 6};
        b.SimilarFrames[g] = 20;
    }
    for (int s = 0; s < 6; ++s) b.storeSample(0, 0, s, sampleRecord(0, 0, s, s));
    b.storeSample(5, 2, 1, sampleRecord(5, 2, 1, 50));
    KbRecord abnormal = sampleRecord(31, 7, 9, 70);
    abnormal.Re[3] = 2e9;
    abnormal.Ps[4] = NAN;
    b.storeSample(31, 7, 9, abnormal);
}

class KbFilesTest : public ::testing::Test {
protected:
    std::string file(int part) const { return readFile(dir / kbFileName(kFolder, part)); }
    std::array<std::string, 4> files() const { return {file(1), file(2), file(3), file(4)}; }
    void write(const Kb& kb) { WriteKB(*kb.r, kb.g, kFolder, posix, host); }
    int read(Kb& kb, bool prepare = true) {
        int result = ReadKB(*kb.r, kb.g, kFolder, posix, host, 0);
        if (result == 0 && prepare) prepareKnowledgeBase(*kb.r, kb.g);
        return result;
    }
    void writeRaw(int part, const std::string& data) {
        writeFile(dir / kbFileName(kFolder, part), data);
    }

    ScopedTempDir dir;
    ScopedWorkdir workdir{dir.path()};
    PosixFileOps posix;
    FakeRecogniserHost host;
};

TEST(KbFileNames, CarryThePlainFolderNumberAndThePart) {
    EXPECT_EQ(kbFileName(12, 1), "DALMO_data-12-1.dat");
    EXPECT_EQ(kbFileName(12, 4), "DALMO_data-12-4.dat");
    EXPECT_EQ(kbFileName(10000, 3), "DALMO_data-10000-3.dat");
}

TEST_F(KbFilesTest, RoundTripIsByteIdenticalExceptTheValuesThePreparationRecomputes) {
    Kb original;
    fillKnown(original);
    write(original);
    const auto first = files();
    EXPECT_EQ(first[0],
              "33 700 0.250000 44 3 50 12.500000 4 8 2.000000 1.500000 2.000000 9 0.020000 30 "
              "2 0.200000 6 7.500000 3 1 ");
    EXPECT_EQ(first[1].size(), 9831776u);
    EXPECT_EQ(first[2].size(), 2752u);
    EXPECT_EQ(first[3].size(), 8u * 1040u);
    const std::string parameterLine =
        "DThreshold=33 OK_HIGH=700 OCThreshold=0.250000 MThreshold=44 pos_num=3 GRATE=50 "
        "GRATE_SUM=12.500000 GRATE_COUNT=4 NEROI=8 SKIP=2.000000 GRATE_SUM2=1.500000 "
        "RSKIP=2.000000 GRATE_COUNT2=9 RF_COEFFICIENT=0.020000 IdealGRATE=30 \n";
    EXPECT_EQ(host.out().substr(0, parameterLine.size()), parameterLine);
    EXPECT_EQ(count(host.out(), "Abnormal Data Exist in Re(31 7 9)\n"), 1u);
    EXPECT_EQ(count(host.out(), "Abnormal Data Exist in Ps(31 7 9)\n"), 1u);
    EXPECT_TRUE(contains(host.out(), "\nWriteKB:\n  OOOOOOO  OOOOOO"));
    EXPECT_EQ(host.waits, std::vector<int>{1});
    EXPECT_EQ(host.err(), "");

    host.capture.clear();
    Kb restored;
    ASSERT_EQ(read(restored), 0);
    EXPECT_EQ(host.out().substr(0, parameterLine.size()), parameterLine);
    EXPECT_TRUE(contains(host.out(), "\nReadKB:\n   OOOOO"));
    EXPECT_EQ(count(host.out(), "Abnormal Data Exist in Re(31 7 9)\n"), 1u);
    const KnowledgeBase& kb = restored.r->kb;
    EXPECT_EQ(kb.presentSamples(), 8);
    ASSERT_TRUE(kb.exists(5, 2, 1));
    EXPECT_EQ(kb.sample(5, 2, 1)->Re[63], 50 + 63 * 0.25);
    EXPECT_STREQ(kb.labels[0].name, "Wave");
    EXPECT_EQ(restored.g.CountdownStep, 3);

    // The preparation recomputes, by design: NEROI (32 after the full weights), the fixed
    // view-point flag (cleared while similar runs remain), ViewPointOn (the selection),
    // AcceptLevel (lowered to the usable view points, or from the review) and ReviewSum[g][0]
    // of the gestures with a review count.
    const Recogniser& r = *restored.r;
    EXPECT_EQ(r.params.NEROI, 32);
    EXPECT_EQ(r.params.FixedViewPointFlag, 0);
    EXPECT_NE(r.kb.ViewPointOn, original.r->kb.ViewPointOn);
    EXPECT_NE(r.kb.AcceptLevel, original.r->kb.AcceptLevel);
    EXPECT_NE(r.kb.ReviewSum[1][0], original.r->kb.ReviewSum[1][0]);
    write(restored);
    const auto second = files();

    Recogniser& o = *original.r;
    o.params.NEROI = r.params.NEROI;
    o.params.FixedViewPointFlag = r.params.FixedViewPointFlag;
    o.kb.ViewPointOn = r.kb.ViewPointOn;
    o.kb.AcceptLevel = r.kb.AcceptLevel;
    o.kb.ReviewSum[1][0] = r.kb.ReviewSum[1][0];
    write(original);
    EXPECT_TRUE(files() == second) << "the same files after the recomputed values are taken";

    Kb again;
    ASSERT_EQ(read(again), 0);
    write(again);
    EXPECT_TRUE(files() == second) << "a second round trip changes nothing";
}

TEST_F(KbFilesTest, AnEmptyKbWritesAnEmptyFile4AndAMissingFileChangesNothing) {
    Kb empty;
    write(empty);
    EXPECT_EQ(file(1),
              "40 500 -1.000000 40 0 60 0.000000 0 32 1.000000 0.000000 1.000000 0 0.010000 0 0 "
              "0.100000 8 8.000000 5 0 ");
    EXPECT_EQ(file(4), "");
    Kb restored;
    restored.r->kb.storeSample(3, 3, 3, sampleRecord(3, 3, 3, 1));
    ASSERT_EQ(read(restored, false), 0);
    EXPECT_EQ(restored.r->kb.presentSamples(), 0) << "reading frees the old samples";

    Kb written;
    fillKnown(written);
    for (int missing = 1; missing <= 4; ++missing) {
        write(written);
        ASSERT_EQ(std::remove(kbFileName(kFolder, missing).c_str()), 0);
        host.capture.clear();
        Kb running;
        running.r->kb.storeSample(1, 1, 1, sampleRecord(1, 1, 1, 9));
        EXPECT_EQ(read(running), -1) << missing;
        EXPECT_EQ(running.r->kb.presentSamples(), 1);
        EXPECT_EQ(running.r->params.OK_HIGH, 500);
        EXPECT_EQ(running.g.DThreshold, 40);
        EXPECT_EQ(host.out(), "");
    }
}

std::string records(const std::vector<KbRecord>& list) {
    std::string data;
    for (const KbRecord& record : list)
        data.append(reinterpret_cast<const char*>(&record), sizeof record);
    return data;
}

TEST_F(KbFilesTest, File4IsReadInBoundsWhateverItHolds) {
    std::vector<KbRecord> many;
    for (int i = 0; i <= kMaxKbRecords; ++i)  // record 2,560 would overwrite slot (0, 0, 0)
        many.push_back(sampleRecord(i / 80 % 32, i / 10 % 8, i % 10, i));
    std::vector<KbRecord> badThird = {sampleRecord(0, 0, 0, 1), sampleRecord(1, 2, 3, 2),
                                      sampleRecord(2, 8, 4, 3), sampleRecord(3, 3, 3, 4)};
    KbRecord odd = sampleRecord(4, 5, 6, 1e300);
    odd.Re[0] = NAN;
    odd.Ps[2] = -1e300;  // not abnormal
    struct Case {
        std::string data;
        int kept;
        std::string lines;
        size_t abnormal;  // "Abnormal Data Exist" lines
        double firstRe;   // Re[0] of sample (0, 0, 0)
    };
    const Case cases[] = {
        {records(badThird), 2,
         "Illegal Index Number Detected in ReadKB(). Data Number = 2\n"
         "index1=2, index2=8,  index3=4\n",
         0, 1.0},
        {records(many), kMaxKbRecords, "", 0, 0.0},
        {records(badThird).substr(0, 2 * 1040 + 500), 2, "", 0, 1.0},  // partial record ignored
        {records({sampleRecord(0, 0, -1, 0)}), 0,
         "Illegal Index Number Detected in ReadKB(). Data Number = 0\n"
         "index1=0, index2=0,  index3=-1\n",
         0, NAN},
        {records({odd}), 1, "Abnormal Data Exist in Re(4 5 6)\nAbnormal", 64 + 63, NAN},
        {records({sampleRecord(0, 0, 0, 1), sampleRecord(0, 0, 0, 2)}), 1, "", 0, 2.0},
    };
    Kb written;
    write(written);
    for (const Case& c : cases) {
        writeRaw(4, c.data);
        host.capture.clear();
        Kb kb;
        ASSERT_EQ(read(kb), 0);
        SCOPED_TRACE(host.out());
        EXPECT_EQ(kb.r->kb.presentSamples(), c.kept);
        EXPECT_TRUE(contains(host.out(), c.lines));
        EXPECT_EQ(count(host.out(), "Illegal"), c.lines.find("Illegal") != std::string::npos);
        EXPECT_EQ(count(host.out(), "Abnormal Data Exist"), c.abnormal);
        if (std::isnan(c.firstRe)) continue;
        EXPECT_EQ(kb.r->kb.sample(0, 0, 0)->Re[0], c.firstRe);
    }
}

TEST_F(KbFilesTest, File1FieldsThatDoNotScanKeepTheirValues) {
    // DThreshold, OK_HIGH, OCThreshold, pos_num, NEROI, SKIP, VarFloor, CountdownStep,
    // FixedViewPointFlag after reading `text`; the first text that is no number ends the
    // reading, a number its field cannot hold is passed over.
    const std::pair<const char*, std::vector<double>> cases[] = {
        {"", {40, 500, -1, 0, 32, 1, 0.1, 5, 0}},
        {"33 700 abc 41 3 50 0 0 8 2 0 1 0 0.01 0 0 0.1 8 8 9 1 ",
         {33, 700, -1, 0, 32, 1, 0.1, 5, 0}},
        {"12abc 700", {12, 500, -1, 0, 32, 1, 0.1, 5, 0}},
        {"33 700 0.5 41 3 50 0 0 8 2 0 1 0 0.01 0 0 0.3 8 8 9", {33, 700, 0.5, 3, 8, 2, 0.3, 9, 0}},
        {"99999999999 -5 1e400 41 9 50 nan 0 33 inf 0 1 0 0.01 0 0 -0.1 8 8 9 1 ",
         {40, 500, -1, 0, 32, 1, 0.1, 9, 1}},
        {"\n33\t700   0.5 41 7 50 0 0 0 0 0 0 0 0 0 0 0 0 0 -3 1",
         {33, 700, 0.5, 7, 0, 1, 0, -3, 1}},
        {"+33 -700 -.5e1", {33, 500, -5, 0, 32, 1, 0.1, 5, 0}},
    };
    Kb written;
    write(written);
    for (const auto& [text, expected] : cases) {
        writeRaw(1, text);
        Kb kb;
        ASSERT_EQ(read(kb, false), 0);
        const KbParameters& p = kb.r->params;
        EXPECT_EQ((std::vector<double>{double(kb.g.DThreshold), double(p.OK_HIGH), p.OCThreshold,
                                       double(p.pos_num), double(p.NEROI), p.SKIP, p.VarFloor,
                                       double(kb.g.CountdownStep), double(p.FixedViewPointFlag)}),
                  expected)
            << text;
    }
}

TEST_F(KbFilesTest, ShortAndOddTableFilesKeepTheRestAndStayInRange) {
    Kb written;
    write(written);
    std::string labels(3 * sizeof(GestureLabel) + 10, '\0');
    GestureLabel odd{};
    std::memset(odd.name, 'x', sizeof odd.name);  // no terminating zero
    odd.index = 1;
    odd.MotionLength = 99;
    std::memcpy(labels.data() + sizeof(GestureLabel), &odd, sizeof odd);
    writeRaw(2, labels);
    std::string file3(8 * 8 * 4 + 2048 + 192 + 96, '\0');
    for (int32_t slot : {-5, 250, 199, 0, 1, 2, 3, 4})
        file3.append(reinterpret_cast<const char*>(&slot), sizeof slot);
    writeRaw(3, file3);

    Kb kb;
    kb.r->kb.SampleCount[0][0] = 4;
    kb.r->kb.FixedViewPoint[0] = 7;
    ASSERT_EQ(read(kb), 0);
    const KnowledgeBase& b = kb.r->kb;
    EXPECT_STREQ(b.labels[0].name, "");
    EXPECT_EQ(std::string(b.labels[1].name), std::string(19, 'x'));
    EXPECT_EQ(b.labels[1].MotionLength, 0);
    EXPECT_STREQ(b.labels[3].name, "D") << "the fourth label lies beyond the end";
    EXPECT_EQ(b.SampleCount[0][0], 4);
    EXPECT_EQ(b.AcceptLevel[3], 0.0);
    EXPECT_EQ(b.SimilarFrames, (std::array<int32_t, 8>{0, 0, 199, 0, 1, 2, 3, 4}));
    EXPECT_EQ(b.FixedViewPoint[0], 7) << "file 3 ends before FixedViewPoint";
}

// Fails the atomic write of one part; the others are written for real.
// Real files, except that the temporary file of `failing` cannot be written.
class FailingWrites final : public ForwardingFileOps {
public:
    std::optional<std::string> writeTemporary(const std::string& path,
                                              const std::string& data) override {
        ++writes;
        if (path == failing) return std::nullopt;
        return real.writeTemporary(path, data);
    }
    std::string failing;
    int writes = 0;
};

TEST_F(KbFilesTest, AFileThatCannotBeWrittenSavesNoneOfTheFour) {
    Kb kb;
    fillKnown(kb);
    for (int part = 1; part <= 4; ++part) {
        SCOPED_TRACE(part);
        for (int p = 1; p <= 4; ++p) writeRaw(p, "old " + std::to_string(p));
        FailingWrites failing;
        failing.failing = kbFileName(kFolder, part);
        host.capture.clear();
        WriteKB(*kb.r, kb.g, kFolder, failing, host);
        EXPECT_EQ(host.err(), "Couldn't Open File in WriteKB()-[ " + failing.failing +
                                  " ].\nWriteKB: nothing was saved; the old files are kept.\n");
        EXPECT_EQ(failing.writes, part) << "no file is written after the failed one";
        for (int p = 1; p <= 4; ++p) EXPECT_EQ(file(p), "old " + std::to_string(p));
        EXPECT_EQ(host.out(), "") << "no parameter lines, reports or banner";
        EXPECT_TRUE(host.waits.empty());
        size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
            ++entries;
        }
        EXPECT_EQ(entries, 4u) << "the four old files, no temporary";
    }
    EXPECT_EQ(kb.r->kb.presentSamples(), 8);
    // Written whole once nothing fails.
    FailingWrites working;
    WriteKB(*kb.r, kb.g, kFolder, working, host);
    EXPECT_EQ(file(2).size(), 9831776u);
    EXPECT_EQ(file(4).size(), 8u * 1040u);
}

class KbLoadingPlayer : public PlayerFixture {};

TEST_F(KbLoadingPlayer, ReadingTheParametersLoadsThePreparedKnowledgeBaseAndStartsTheGestureDrive) {
    ws.addClipRange(1, 3);
    load();
    player.readParameters();
    EXPECT_EQ(player.state.playback.PlayEngine, 1) << "no knowledge base: nothing changes";
    EXPECT_FALSE(contains(out(), "ReadKB"));

    Kb kb;
    fillKnown(kb);
    FakeRecogniserHost host;
    WriteKB(*kb.r, kb.g, 1, files, host);
    player.state.camera.CamBeep = 1;
    player.readParameters();
    EXPECT_EQ(player.state.playback.PlayEngine, 0);
    EXPECT_TRUE(contains(out(), "\a\nReadKB:\n"));
    EXPECT_EQ(player.recogniser.kb.presentSamples(), 8);
    EXPECT_EQ(player.state.gesture.MThreshold, 44);
    EXPECT_EQ(player.recogniser.params.NEROI, 32) << "prepared";
    EXPECT_EQ(player.state.gesture.rv, -1.0) << "the recognition state was reset";
    EXPECT_GT(player.recogniser.weights.map(0, 1, 400), 0.0);
}

}  // namespace
}  // namespace kalvento::test
