#include "platform/connection_gate.h"

#include <algorithm>
#include <unordered_map>

namespace kalvento {

std::vector<int> connectionsToGiveUp(std::vector<WaitingConnection> waiting, size_t perAddress,
                                     size_t inAll) {
    // The newest first: each is kept while its address and the whole have room.
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const WaitingConnection& a, const WaitingConnection& b) {
                         return a.since > b.since;
                     });
    std::unordered_map<std::string, size_t> kept;
    size_t keptInAll = 0;
    std::vector<int> givenUp;
    for (const WaitingConnection& connection : waiting) {
        if (connection.headIn) continue;
        size_t& ofAddress = kept[connection.address];
        if (ofAddress < perAddress && keptInAll < inAll) {
            ++ofAddress;
            ++keptInAll;
        } else {
            givenUp.push_back(connection.socket);
        }
    }
    return givenUp;
}

}  // namespace kalvento
