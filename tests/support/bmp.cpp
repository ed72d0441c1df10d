#include "support/bmp.h"

#include <cstdint>

std::string Solid_Bmp(unsigned char r, unsigned char g, unsigned char b, int side) {
    const int row = (side * 3 + 3) / 4 * 4, data = row * side;
    std::string bmp(std::size_t(54 + data), '\0');
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[std::size_t(at + i)] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, std::uint32_t(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(side));
    put32(22, std::uint32_t(side));
    bmp[26] = 1;
    bmp[28] = 24;
    put32(34, std::uint32_t(data));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::size_t at = std::size_t(54 + y * row + 3 * x);
            bmp[at] = char(b);
            bmp[at + 1] = char(g);
            bmp[at + 2] = char(r);
        }
    return bmp;
}
