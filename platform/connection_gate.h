#pragma once
// Which connections that have not sent their request head yet the web server gives up, so that
// idle connections cannot hold every server thread: at most a few per client address and a
// bound in all; beyond them the connection that has waited longest goes first. A connection
// whose head is already in its socket is on its way and is kept. Plain code on a list the
// server gathers from its sockets, so a test can give it any list.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kalvento {

struct WaitingConnection {
    int socket = -1;
    std::string address;  // the client's address, as text
    std::chrono::steady_clock::time_point since;  // when the server first saw it
    bool headIn = false;  // its whole head is waiting to be read
};

// The sockets of `waiting` to give up: beyond `perAddress` of one address and `inAll` of all
// together, the longest waiting first; never one whose head is in.
std::vector<int> connectionsToGiveUp(std::vector<WaitingConnection> waiting, size_t perAddress,
                                     size_t inAll);

}  // namespace kalvento
