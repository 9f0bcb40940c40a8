#pragma once

#include <cstddef>
#include <string>

namespace kalvento {

// Reads a decimal integer at `pos` the way "%d" does: optional white space, an optional sign,
// digits. False when there is none or it does not fit an int; `pos` is then unspecified.
bool parseDecimal(const std::string& text, size_t& pos, int& value);

}  // namespace kalvento
