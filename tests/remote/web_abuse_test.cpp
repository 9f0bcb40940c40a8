// The web remote's server under abuse, on loopback: crowds of idle connections, wrong-token
// floods from one address and from hundreds (127.0.0.x are all this machine), a body that
// trickles in, a request with two body lengths. The operator, who has the token (or, without
// one, is on 127.0.0.1), gets in throughout.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/connection_gate.h"
#include "platform/http_server.h"
#include "remote/remote_api.h"

namespace kalvento {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kToken = "abuse-test-token-0123456789";

// The remote's requests served by the real server on 127.0.0.1, with or without the token.
struct Served {
    explicit Served(const std::string& token) : api(hub, RemoteAccess{token, defaultRemoteKeys(), {}}) {
        std::string error;
        server = openCivetHttpServer("127.0.0.1", 0, api, error);
        EXPECT_TRUE(server) << error;
    }
    int port() const { return server ? server->port() : 0; }
    RemoteHub hub;
    RemoteApi api;
    std::unique_ptr<HttpServer> server;
};

// A connection from `source` (any 127.x.y.z) to the server; -1 when it cannot be made.
int connectFrom(const std::string& source, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, source.c_str(), &address.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads the answer on `fd` until the server closes it or `limit` passes: its status (0: none)
// and when its first byte came.
struct Answer {
    int status = 0;
    Clock::time_point firstByte{};
};
Answer answerOn(int fd, Clock::duration limit) {
    Answer answer;
    std::string text;
    const auto end = Clock::now() + limit;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        pollfd wait{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        if (::poll(&wait, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        if (text.empty()) answer.firstByte = Clock::now();
        text.append(buffer, static_cast<size_t>(n));
    }
    if (text.rfind("HTTP/1.1 ", 0) == 0) answer.status = std::atoi(text.c_str() + 9);
    return answer;
}

// Sends `request` from `source` and waits for the answer.
Answer ask(int port, const std::string& source, const std::string& request,
           Clock::duration limit = 10s) {
    const int fd = connectFrom(source, port);
    if (fd < 0) return {};
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    Answer answer = answerOn(fd, limit);
    ::close(fd);
    return answer;
}

std::string statusRequest(const std::string& token) {
    return "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
           (token.empty() ? std::string() : "Authorization: Bearer " + token + "\r\n") + "\r\n";
}

// The i-th of many loopback addresses, 127.0.1.0 and on (none of them 127.0.0.1).
std::string loopback(int i) {
    return "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
}

// Connections that send nothing, held open from `sources` in turn; one the server closes is
// opened again at once, as an attacker would.
class IdleCrowd {
public:
    IdleCrowd(int port, int count, std::vector<std::string> sources)
        : port_(port), sources_(std::move(sources)), fds_(static_cast<size_t>(count), -1) {
        for (size_t i = 0; i < fds_.size(); ++i) fds_[i] = connectFrom(sourceOf(i), port_);
        thread_ = std::thread([this] { keepOpen(); });
    }
    ~IdleCrowd() {
        stop_ = true;
        thread_.join();
        for (int fd : fds_) ::close(fd);
    }
    int reopened() const { return reopened_; }

private:
    const std::string& sourceOf(size_t i) const { return sources_[i % sources_.size()]; }
    void keepOpen() {
        std::vector<pollfd> waits(fds_.size());
        while (!stop_) {
            for (size_t i = 0; i < fds_.size(); ++i) waits[i] = {fds_[i], POLLIN, 0};
            if (::poll(waits.data(), waits.size(), 20) <= 0) continue;
            for (size_t i = 0; i < fds_.size() && !stop_; ++i) {
                char byte;
                if (waits[i].revents == 0 || ::recv(fds_[i], &byte, 1, MSG_DONTWAIT) > 0) continue;
                ::close(fds_[i]);
                fds_[i] = connectFrom(sourceOf(i), port_);
                ++reopened_;
            }
        }
    }
    const int port_;
    const std::vector<std::string> sources_;
    std::vector<int> fds_;
    std::atomic<bool> stop_{false};
    std::atomic<int> reopened_{0};
    std::thread thread_;
};

struct CrowdCase {
    const char* what;
    int connections;
    bool manyAddresses;  // the crowd comes from 100 addresses, else from the operator's
    std::string token;   // the player's; the operator sends it
};

// However many idle connections there are, from one address or from many, the operator's
// request is answered within a second; the server closes idle ones to make room.
TEST(WebAbuse, IdleConnectionsNeverLockOutTheOperator) {
    const CrowdCase cases[] = {
        {"100 from the operator's address", 100, false, kToken},
        {"400 from the operator's address", 400, false, kToken},
        {"400 from 100 addresses", 400, true, kToken},
        {"400 on 127.0.0.1, no token", 400, false, ""},
    };
    for (const CrowdCase& c : cases) {
        Served served(c.token);
        std::vector<std::string> sources{"127.0.0.1"};
        if (c.manyAddresses)
            for (int i = 1; i < 100; ++i) sources.push_back(loopback(i));
        IdleCrowd crowd(served.port(), c.connections, sources);
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            const Answer answer = ask(served.port(), "127.0.0.1", statusRequest(c.token));
            EXPECT_EQ(answer.status, 200) << c.what << ", try " << i;
            EXPECT_LT(answer.firstByte - start, 1s) << c.what << ", try " << i;
        }
        EXPECT_GT(crowd.reopened(), 0) << c.what;
        EXPECT_GT(served.server->counts().refusedConnections, 0) << c.what;
    }
}

// A page in the operator's browser guesses 20 tokens a second from the operator's address:
// the guesses are slowed, the operator's right token never is.
TEST(WebAbuse, AWrongTokenFloodFromTheOperatorsAddressNeverRefusesTheRightToken) {
    Served served(kToken);
    std::atomic<bool> stop{false};
    std::atomic<int> refused{0}, guesses{0};
    std::thread flood([&] {
        for (auto next = Clock::now(); !stop; next += 50ms) {
            std::this_thread::sleep_until(next);  // paces the flood at 20 a second
            const Answer answer = ask(served.port(), "127.0.0.1", statusRequest("wrong-guess-" + std::to_string(guesses)));
            ++guesses;
            if (answer.status == 429) ++refused;
        }
    });
    int answered = 0;
    for (int i = 0; i < 26 && answered == i; ++i) {
        std::this_thread::sleep_for(100ms);
        answered += ask(served.port(), "127.0.0.1", statusRequest(kToken)).status == 200;
    }
    stop = true;
    flood.join();
    EXPECT_EQ(answered, 26);
    EXPECT_GT(refused, guesses / 2) << guesses << " guesses";
}

// A guesser rotating over 300 addresses (more than the throttle remembers) is slowed by the
// bound on wrong tokens from all addresses together; the operator still gets in.
TEST(WebAbuse, AWrongTokenFloodFromManyAddressesIsSlowedAsAWhole) {
    Served served(kToken);
    const auto start = Clock::now();
    int unauthorised = 0, slowed = 0;
    for (int i = 0; i < 600; ++i) {
        const int status = ask(served.port(), loopback(i % 300), statusRequest("guess" + std::to_string(i))).status;
        unauthorised += status == 401;
        slowed += status == 429;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(unauthorised + slowed, 600);
    EXPECT_LE(unauthorised, TokenThrottle::kWrongBurst + TokenThrottle::kWrongPerSecond * (seconds + 1))
        << seconds << " s";
    EXPECT_EQ(ask(served.port(), loopback(7), statusRequest(kToken)).status, 200);
}

struct RawCase {
    const char* what;
    std::string head;            // sent at once
    std::string trickle;         // then one byte every 500 ms
    int status;                  // the answer
    Clock::duration answeredBy;  // after the head
};

// Requests no browser sends: their answers, and how soon they come.
TEST(WebAbuse, TrickledBodiesAndTwoBodyLengthsAreRefused) {
    const std::string post = "POST /api/v1/threshold HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + kToken + "\r\n";
    const RawCase cases[] = {
        {"a body trickled for 5 s", post + "Content-Length: 12\r\n\r\n{", "\"value\":12}", 408, 3s},
        {"a body that stops", post + "Content-Length: 12\r\n\r\n{", "", 408, 3s},
        {"two different lengths", post + "Content-Length: 13\r\nContent-Length: 5\r\n\r\n{\"value\":12}", "", 400, 2s},
        {"a length that is no number", post + "Content-Length: 13, 5\r\n\r\n{\"value\":12}", "", 400, 2s},
        {"the same length twice", post + "Content-Length: 12\r\nContent-Length: 12\r\n\r\n{\"value\":12}", "", 200, 2s},
    };
    Served served(kToken);
    for (const RawCase& c : cases) {
        const int fd = connectFrom("127.0.0.1", served.port());
        ASSERT_GE(fd, 0);
        const auto start = Clock::now();
        ::send(fd, c.head.data(), c.head.size(), MSG_NOSIGNAL);
        std::thread trickle([&] {
            for (size_t i = 0; i < c.trickle.size(); ++i) {
                std::this_thread::sleep_until(start + (i + 1) * 500ms);
                if (::send(fd, &c.trickle[i], 1, MSG_NOSIGNAL) != 1) break;
            }
        });
        const Answer answer = answerOn(fd, 10s);
        trickle.join();
        ::close(fd);
        EXPECT_EQ(answer.status, c.status) << c.what;
        EXPECT_LT(answer.firstByte - start, c.answeredBy) << c.what;
    }
    EXPECT_EQ(served.server->counts().slowBodies, 2);
}

// The gate keeps the newest connections of each address and of all, and every connection
// whose head is in.
TEST(ConnectionGate, TheLongestWaitingGoFirstBeyondTheBounds) {
    const auto t = [](int ms) { return Clock::time_point{} + std::chrono::milliseconds(ms); };
    const std::vector<WaitingConnection> waiting = {
        {10, "a", t(1), false}, {11, "a", t(2), false}, {12, "a", t(3), false},
        {13, "a", t(0), true},  {20, "b", t(4), false}, {21, "b", t(5), false},
        {30, "c", t(6), false},
    };
    struct {
        size_t perAddress, inAll;
        std::vector<int> givenUp;
    } cases[] = {
        {6, 24, {}},
        {2, 24, {10}},
        {1, 24, {20, 11, 10}},
        {2, 3, {12, 11, 10}},
        {0, 24, {30, 21, 20, 12, 11, 10}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(connectionsToGiveUp(waiting, c.perAddress, c.inAll), c.givenUp)
            << c.perAddress << " per address, " << c.inAll << " in all";
}

}  // namespace
}  // namespace kalvento
