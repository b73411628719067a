#pragma once
// The frame checksum: CRC-32/MPEG-2 (polynomial 0x04C11DB7, most significant bit
// first, initial value 0xFFFFFFFF, no reflection, no final XOR) over the body only.

#include <cstddef>
#include <cstdint>

namespace wing {

// The table is built at compile time; this keeps the start-up call the window makes.
void BuildCrcTable();

std::uint32_t CalcCrc32(std::size_t length, const std::uint8_t* data);

}  // namespace wing
