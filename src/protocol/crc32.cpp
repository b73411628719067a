#include "protocol/crc32.h"

#include <array>
#include <mutex>

namespace wing {
namespace {

constexpr std::uint32_t kPolynomial = 0x04C11DB7u;

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i << 24;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ kPolynomial : (c << 1);
        table[i] = c;
    }
    return table;
}

// Computed at compile time, so the table is never seen half-filled by another thread.
constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace

void BuildCrcTable() {}

std::uint32_t CalcCrc32(std::size_t length, const std::uint8_t* data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) crc = (crc << 8) ^ kTable[((crc >> 24) ^ data[i]) & 0xFFu];
    return crc;
}

}  // namespace wing
