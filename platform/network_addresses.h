#pragma once
// The addresses this machine is reached at, for the links the web remote prints.

#include <string>
#include <vector>

namespace kalvento {

// The IPv4 addresses of the machine's network interfaces that are up, other than the loopback
// one, in the order the system lists them; empty when there is none.
std::vector<std::string> machineAddresses();

}  // namespace kalvento
