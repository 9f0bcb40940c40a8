#include "platform/qr_code.h"

#include <qrencode.h>

namespace kalvento {

std::vector<std::vector<bool>> qrModules(const std::string& text) {
    QRcode* code = QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M);
    if (code == nullptr) return {};
    const size_t width = static_cast<size_t>(code->width);
    std::vector<std::vector<bool>> modules(width, std::vector<bool>(width));
    for (size_t y = 0; y < width; ++y)
        for (size_t x = 0; x < width; ++x) modules[y][x] = (code->data[y * width + x] & 1) != 0;
    QRcode_free(code);
    return modules;
}

}  // namespace kalvento
