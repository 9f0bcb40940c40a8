#include "core/source_text.h"

namespace kalvento {

std::string withoutUserInfo(const std::string& source) {
    const size_t scheme = source.find("://");
    if (scheme == std::string::npos) return source;
    const size_t start = scheme + 3;
    const size_t end = source.find_first_of("/?#", start);
    const size_t at = source.rfind('@', end == std::string::npos ? std::string::npos : end - 1);
    if (at == std::string::npos || at < start) return source;
    return source.substr(0, start) + source.substr(at + 1);
}

}  // namespace kalvento
