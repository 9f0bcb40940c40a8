#pragma once
// A port on 127.0.0.1 that nobody uses at the moment of asking, for test servers and players.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalvento::test {

// `socketType` is SOCK_DGRAM (UDP) or SOCK_STREAM (TCP).
inline int freeLoopbackPort(int socketType) {
    int fd = ::socket(AF_INET, socketType, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline int freeUdpPort() { return freeLoopbackPort(SOCK_DGRAM); }
inline int freeTcpPort() { return freeLoopbackPort(SOCK_STREAM); }

}  // namespace kalvento::test
