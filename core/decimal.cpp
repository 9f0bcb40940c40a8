#include "core/decimal.h"

#include <cctype>
#include <climits>

namespace kalvento {

bool parseDecimal(const std::string& text, size_t& pos, int& value) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
    long long magnitude = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
        ++pos;
    }
    long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
    value = static_cast<int>(signedValue);
    return true;
}

}  // namespace kalvento
