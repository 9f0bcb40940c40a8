// The player killed with SIGKILL at many moments while it writes each kind of file it writes:
// afterwards every file holds its complete old content or a complete new one, never a part,
// and what a killed write leaves behind is never read by the next run.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "contents/frame_data_file.h"
#include "core/player_state.h"
#include "gesture/kb_files.h"
#include "settings/parameter_file.h"
#include "support/run_player.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// Starts the player headless in `cwd` with `args` and kills it with SIGKILL after `delay`
// (or lets it end when it ends first). True when it was killed.
bool runAndKill(const std::vector<std::string>& args, const std::string& cwd,
                std::chrono::microseconds delay) {
    std::vector<std::string> words{playerBinary(), "--headless"};
    words.insert(words.end(), args.begin(), args.end());
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) ::_exit(127);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::this_thread::sleep_for(delay);
    bool killed = ::kill(pid, SIGKILL) == 0;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return killed && WIFSIGNALED(status);
}

// One kind of file the player writes: how to make it write, and what a whole file is.
struct Kind {
    const char* name;
    std::string script;                       // the keys that write it, again and again
    std::chrono::milliseconds longest;        // kills fall in 0 .. longest after the start
    std::function<void(Workspace&)> prepare;  // the old content
    // Checks the files after a kill; returns what is wrong, empty when all is whole.
    std::function<std::string(Workspace&)> check;
};

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

bool wholeParameterText(const std::string& text) {
    if (text.empty() || text.back() != '\n') return false;
    std::istringstream in(text);
    std::string line;
    int lines = 0;
    static const std::regex number(R"(-?[0-9]+(\.[0-9]+)?)");
    while (std::getline(in, line)) {
        if (!std::regex_match(line, number)) return false;
        ++lines;
    }
    return lines == kParameterLines;
}

// Leftovers of killed writes: temporary names the player never opens.
std::string strayFiles(const std::string& folder, const std::set<std::string>& expected) {
    static const std::regex temporary(R"(.*\.tmp[A-Za-z0-9]{6})");
    std::string wrong;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename();
        if (expected.count(name) || entry.is_directory()) continue;
        if (!std::regex_match(name, temporary)) wrong += " " + name;
    }
    return wrong;
}

TEST(KillDuringWrite, EveryFileIsWholeOldOrWholeNewAfterEachKill) {
    const std::string shm = "kalvento_kill_" + std::to_string(::getpid());
    const std::string oldThreshold = "11500";

    std::vector<Kind> kinds = {
        {"parameter files (+)", repeat("key +\nkey x\n", 150), 1500ms,
         [](Workspace& ws) {
             State state;
             const std::string text = parameterText(state);
             writeAll(ws.work() + "/qbn_env.dat", text);
             writeAll(ws.work() + "/qbn_env0001.dat", text);
         },
         [](Workspace& ws) {
             for (const char* name : {"qbn_env.dat", "qbn_env0001.dat"})
                 if (!wholeParameterText(readAll(ws.work() + "/" + name)))
                     return std::string(name) + " is not a whole parameter file";
             return strayFiles(ws.work(), {"qbn_env.dat", "qbn_env0001.dat", "input.txt"});
         }},
        {"frame data file (:)", repeat("key :\nkey x\n", 30), 2500ms,
         [](Workspace& ws) {
             std::vector<std::string> paths;
             for (int i = 0; i < 12; ++i)
                 paths.push_back("../S001/clip_0000" + std::to_string(i % 10) + ".jpg");
             ws.addFrameData(1, paths);
         },
         [](Workspace& ws) {
             std::string data = readAll(ws.work() + "/frame_data0001.dat");
             // The count is written as "12\n"; the file the test made ends in "12".
             const std::string count =
                 data.size() > kFrameTableBytes ? data.substr(kFrameTableBytes) : "";
             if (count != "12" && count != "12\n")
                 return "frame_data0001.dat holds " + std::to_string(data.size()) + " bytes";
             return strayFiles(ws.work(), {"frame_data0001.dat", "input.txt"});
         }},
        {"threshold file (v)", repeat("key v\n", 300), 1500ms,
         [&](Workspace& ws) { writeAll(ws.work() + "/QBN_THRESHOLD.dat", oldThreshold); },
         [](Workspace& ws) {
             std::string text = readAll(ws.work() + "/QBN_THRESHOLD.dat");
             if (!std::regex_match(text, std::regex("[0-9]+")) || (11500 - std::stoi(text)) % 8)
                 return "QBN_THRESHOLD.dat holds '" + text + "'";
             return strayFiles(ws.work(), {"QBN_THRESHOLD.dat", "input.txt"});
         }},
        {"home-folder copies (U)", repeat("key U\nidle 20\n", 60), 2000ms, [](Workspace&) {},
         [](Workspace& ws) {
             std::set<std::string> sources;
             for (int i = 0; i < 10; ++i)
                 sources.insert(readAll(ws.folder(1) + "/clip_0000" + std::to_string(i) + ".jpg"));
             std::set<std::string> expected{"work", "S001"};
             for (const auto& entry : fs::directory_iterator(ws.root())) {
                 std::string name = entry.path().filename();
                 if (name.rfind("clip_", 0) == 0 && name.size() == 14) {
                     expected.insert(name);
                     if (!sources.count(readAll(entry.path())))
                         return "home clip " + name + " is not a whole clip";
                 }
             }
             return strayFiles(ws.root(), expected);
         }},
        {"gesture knowledge base (W)", repeat("key W\nidle 5\n", 40), 2500ms,
         [](Workspace& ws) {
             for (int part = 1; part <= 4; ++part)
                 fs::remove(ws.work() + "/" + kbFileName(1, part));
         },
         [](Workspace& ws) {
             static const std::regex parameters(R"(((-?[0-9]+(\.[0-9]{6})?) ){21})");
             const size_t sizes[] = {0, 9831776, 2752, 0};
             std::set<std::string> expected{"input.txt"};
             for (int part = 1; part <= 4; ++part) {
                 const std::string name = kbFileName(1, part);
                 const std::string path = ws.work() + "/" + name;
                 if (!fs::exists(path)) continue;
                 expected.insert(name);
                 const std::string data = readAll(path);
                 const bool whole = part == 1   ? std::regex_match(data, parameters)
                                    : part == 4 ? data.size() % sizeof(KbRecord) == 0
                                                : data.size() == sizes[part - 1];
                 if (!whole)
                     return name + " is not whole (" + std::to_string(data.size()) + " bytes)";
             }
             return strayFiles(ws.work(), expected);
         }},
        {"check file (start-up scan)", "idle 5\n", 600ms,
         [](Workspace& ws) { fs::remove(ws.folder(1) + "/check_result.txt"); },
         [](Workspace& ws) {
             const std::string path = ws.folder(1) + "/check_result.txt";
             std::set<std::string> expected;
             for (int i = 0; i < 10; ++i) expected.insert("clip_0000" + std::to_string(i) + ".jpg");
             if (fs::exists(path)) {
                 expected.insert("check_result.txt");
                 if (readAll(path) !=
                     "---> Found at least one image file in the contents folder.\n")
                     return std::string("check_result.txt is not whole");
             }
             return strayFiles(ws.folder(1), expected);
         }},
    };

    std::mt19937 random(20261208);
    int kills = 0;
    for (Kind& kind : kinds) {
        Workspace ws;
        ws.addClipRange(1, 10, 64, 48);
        kind.prepare(ws);
        // The script ends in a long wait, so the player is still there when the kill comes.
        const std::string script = ws.script(kind.script + "sleep 20000\n");
        int killedHere = 0;
        for (int round = 0; round < 40; ++round) {
            // Every round starts from the old content, so a kill meets old and new files alike.
            if (round % 3 == 0) kind.prepare(ws);
            auto delay = std::chrono::microseconds(random() % (kind.longest.count() * 1000));
            killedHere +=
                runAndKill({"--input", script, "--shm-name", shm}, ws.work(), delay) ? 1 : 0;
            std::string wrong = kind.check(ws);
            ASSERT_TRUE(wrong.empty())
                << kind.name << ", kill after " << delay.count() << " us: " << wrong;
        }
        // The next run starts cleanly whatever the kills left behind.
        RunResult after = runPlayer({"--shm-name", shm}, ws.work(), "");
        EXPECT_EQ(after.status, 0) << kind.name << ": " << after.err;
        EXPECT_GE(killedHere, 35) << kind.name;
        kills += killedHere;
    }
    ::shm_unlink(("/" + shm).c_str());
    std::printf("KillDuringWrite: %d kills over %zu kinds of file\n", kills, kinds.size());
    EXPECT_GE(kills, 200);
}

}  // namespace
}  // namespace kalvento::test
