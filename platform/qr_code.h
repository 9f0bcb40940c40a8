#pragma once
// QR codes, made by libqrencode, for the links a phone opens by pointing its camera.

#include <string>
#include <vector>

namespace kalvento {

// The modules of a QR code that holds `text` (error correction level M), row by row: a square
// of true (dark) and false (light), without the quiet zone around it. Empty when the text
// cannot be encoded (too long).
std::vector<std::vector<bool>> qrModules(const std::string& text);

}  // namespace kalvento
