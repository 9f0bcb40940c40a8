// Writes the seed corpus of the clip loader's fuzz target: small JPEGs of the kinds that
// reach different paths of the loader (baseline colour and gray, progressive, CMYK), and
// hostile variants of them (cut short, a huge declared size, 12-bit precision, a broken
// Huffman table).
//   make_clip_seeds DIR

#include <turbojpeg.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> encode(int pixelFormat, int channels, int sampling, int flags) {
    const int w = 24, h = 16;
    std::vector<unsigned char> pixels(static_cast<size_t>(w * h * channels));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7);
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels.data(), w, 0, h, pixelFormat, &out, &size, sampling, 80, flags);
    std::vector<unsigned char> bytes(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

void write(const std::string& path, const std::vector<unsigned char>& bytes) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// The offset of the first start-of-frame marker's precision byte, or 0.
size_t frameHeader(const std::vector<unsigned char>& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return i + 4;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];
    const auto colour = encode(TJPF_BGR, 3, TJSAMP_420, 0);
    write(dir + "/baseline.jpg", colour);
    write(dir + "/gray.jpg", encode(TJPF_GRAY, 1, TJSAMP_GRAY, 0));
    write(dir + "/progressive.jpg", encode(TJPF_BGR, 3, TJSAMP_444, TJFLAG_PROGRESSIVE));
    write(dir + "/cmyk.jpg", encode(TJPF_CMYK, 4, TJSAMP_444, 0));
    write(dir + "/truncated.jpg",
          std::vector<unsigned char>(colour.begin(), colour.begin() + colour.size() / 2));
    if (size_t at = frameHeader(colour)) {
        auto huge = colour;
        huge[at + 1] = huge[at + 2] = huge[at + 3] = huge[at + 4] = 0xFF;  // 65535 x 65535
        write(dir + "/huge_size.jpg", huge);
        auto twelve = colour;
        twelve[at - 3] = 0xC1;  // extended sequential
        twelve[at] = 12;        // 12-bit samples
        write(dir + "/twelve_bit.jpg", twelve);
    }
    auto broken = colour;
    for (size_t i = 2; i + 20 < broken.size(); ++i)
        if (broken[i] == 0xFF && broken[i + 1] == 0xC4) {  // a Huffman table: counts overflow
            for (size_t k = i + 5; k < i + 21; ++k) broken[k] = 0xFF;
            break;
        }
    write(dir + "/broken_huffman.jpg", broken);
    return 0;
}
