// A player whose --osc-send names a host: the name is resolved off the loop, so a resolver that
// does not answer or a name that does not resolve never slows the turns, and a name that
// resolves later is sent to from then on. Each run has its own /etc/hosts, /etc/resolv.conf
// and /etc/nsswitch.conf, bind-mounted in a mount namespace of its own (the tests run as root).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "core/player_state.h"
#include "settings/parameter_file.h"
#include "support/osc_listener.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "kalvento-osc-target";

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);  // in place: the bind mount keeps the inode
    out << text;
}

// A UDP socket on port 53 of a loopback address of its own that takes queries and never
// answers; it counts what it took.
class SilentResolver {
public:
    explicit SilentResolver(const std::string& address) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(53);
        ::inet_pton(AF_INET, address.c_str(), &at.sin_addr);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
        thread_ = std::thread([this] {
            char buffer[512];
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 50) > 0 && ::recv(fd_, buffer, sizeof buffer, 0) > 0) ++queries_;
            }
        });
    }
    ~SilentResolver() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    bool bound() const { return bound_; }
    int queries() const { return queries_; }

private:
    int fd_ = -1;
    bool bound_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

class OscSendByName : public ::testing::Test {
protected:
    OscSendByName() {
        ws.addClipRange(1, 20);
        // Mode 1: one status line per turn, so the turns can be counted.
        State state;
        state.playback.MotionDisplayMode = 1;
        writeFile(ws.work() + "/qbn_env.dat", parameterText(state));
        writeFile(hosts(), "127.0.0.1 localhost\n");
        writeFile(ws.root() + "/nsswitch.conf", "hosts: files dns\n");
    }
    std::string hosts() const { return ws.root() + "/hosts"; }
    // A loopback address of this test's own (127.53.x.y), for its name server.
    std::string nameServer(int last) const {
        return "127.53." + std::to_string(::getpid() % 250) + "." + std::to_string(last);
    }
    // Runs the player headless for about `seconds` with --osc-send NAME:PORT, in a mount
    // namespace that sees this test's hosts, resolver and name-service files.
    RunResult run(const std::string& resolver, double seconds, int port) {
        writeFile(ws.root() + "/resolv.conf", resolver);
        std::string script;
        for (int i = 0; i < static_cast<int>(seconds * 10); ++i) script += "idle 10\nsleep 100\n";
        const std::string mounts = "mount --bind " + hosts() + " /etc/hosts && mount --bind " +
                                   ws.root() + "/resolv.conf /etc/resolv.conf && mount --bind " +
                                   ws.root() + "/nsswitch.conf /etc/nsswitch.conf && exec \"$@\"";
        return runProgram("/usr/bin/unshare",
                          {"-m", "--propagation", "private", "/bin/sh", "-c", mounts, "sh",
                           playerBinary(), "--headless", "--input", ws.script(script),
                           "--shm-name", "kalvento_e2e_name_" + std::to_string(::getpid()),
                           "--osc-send", std::string(kName) + ":" + std::to_string(port)},
                          ws.work(), "", 60);
    }
    static size_t turns(const std::string& out) { return count(out, "\n[S1] ["); }

    Workspace ws;
};

TEST_F(OscSendByName, AResolverThatNeverAnswersDoesNotSlowTheTurnsNorTheExit) {
    SilentResolver resolver(nameServer(1));
    ASSERT_TRUE(resolver.bound());
    OscListener listener;
    auto start = std::chrono::steady_clock::now();
    RunResult r = run("nameserver " + nameServer(1) + "\noptions timeout:30 attempts:1\n", 3.0,
                      listener.port());
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GE(resolver.queries(), 1) << "the name never reached the resolver";
    // The script lets the player take up to 100 turns a second; a send that waited for the
    // resolver would allow one turn in 30 s.
    EXPECT_GE(turns(r.out), 100u) << r.out;
    EXPECT_LT(took, 20s) << "the exit waited for the resolver";
    EXPECT_EQ(listener.count("/kalvento/motion"), 0u);
}

TEST_F(OscSendByName, ANameThatDoesNotResolveIsSaidOnceAndSentToWhenItResolves) {
    OscListener listener;
    // Nobody serves the name server's address: every look-up fails at once.
    std::jthread later([&] {
        std::this_thread::sleep_for(3s);
        writeFile(hosts(), "127.0.0.1 localhost\n127.0.0.1 " + std::string(kName) + "\n");
    });
    RunResult r = run("nameserver " + nameServer(2) + "\noptions timeout:1 attempts:1\n", 8.0,
                      listener.port());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string failed = std::string("kalvento: --osc-send: ") + kName + " does not resolve (";
    EXPECT_EQ(count(r.err, failed), 1u) << r.err;
    EXPECT_EQ(count(r.err, std::string("kalvento: --osc-send: ") + kName +
                               " resolves now; sending to it\n"),
              1u)
        << r.err;
    EXPECT_LT(r.err.find(failed), r.err.find(" resolves now"));
    EXPECT_GE(turns(r.out), 300u);
    EXPECT_GT(listener.count("/kalvento/motion"), 10u) << "nothing sent once the name resolved";
}

}  // namespace
}  // namespace kalvento::test
