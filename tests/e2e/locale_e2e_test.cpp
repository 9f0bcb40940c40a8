// The real player, headless, under a locale that writes decimal commas: the gesture knowledge
// base is still written with decimal points, its console lines show them, and what W wrote
// reads back with every value.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gesture/kb_files.h"
#include "support/comma_locale.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

// The parameter lines of a run (ReadKB and WriteKB print the same line).
std::vector<std::string> parameterLines(const std::string& out) {
    std::vector<std::string> found;
    for (const std::string& line : lines(out))
        if (line.rfind("DThreshold=", 0) == 0) found.push_back(line);
    return found;
}

TEST(LocaleE2E, TheKnowledgeBaseKeepsDecimalPointsUnderACommaLocale) {
    Workspace ws;
    ws.addClipRange(1, 3);
    const std::string parameters = ws.work() + "/" + kbFileName(1, 1);
    writeFile(parameters,
              "33 700 0.250000 44 3 50 12.500000 4 32 2.000000 1.500000 2.000000 9 0.020000 30 "
              "0 0.200000 6 7.500000 3 0 ");
    for (int part = 2; part <= 4; ++part) writeFile(ws.work() + "/" + kbFileName(1, part), "");
    auto run = [&](const std::string& script) {
        RunResult result =
            runProgram("/usr/bin/env",
                       {"LOCPATH=" + commaLocalePath(), std::string("LC_ALL=") + kCommaLocale,
                        playerBinary(), "--headless", "--input", ws.script(script)},
                       ws.work());
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    };

    // The start reads the knowledge base twice (before and after the contents scan).
    RunResult first = run("key W\n");
    const std::vector<std::string> firstLines = parameterLines(first.out);
    ASSERT_EQ(firstLines.size(), 3u) << "read twice at start, written by W:\n" << first.out;
    EXPECT_EQ(firstLines[0],
              "DThreshold=33 OK_HIGH=700 OCThreshold=0.250000 MThreshold=44 pos_num=3 GRATE=50 "
              "GRATE_SUM=12.500000 GRATE_COUNT=4 NEROI=32 SKIP=2.000000 GRATE_SUM2=1.500000 "
              "RSKIP=2.000000 GRATE_COUNT2=9 RF_COEFFICIENT=0.020000 IdealGRATE=30 ");
    EXPECT_TRUE(contains(first.out, "\nWriteKB:\n"));
    const std::string written = readFile(parameters);
    EXPECT_EQ(written.find(','), std::string::npos) << written;
    EXPECT_TRUE(contains(written, " 0.250000 44 3 50 12.500000 ")) << written;

    RunResult second = run("");
    const std::vector<std::string> secondLines = parameterLines(second.out);
    ASSERT_EQ(secondLines.size(), 2u) << second.out;
    EXPECT_EQ(secondLines[0], firstLines[2]) << "every value written reads back";
}

}  // namespace
}  // namespace kalvento::test
