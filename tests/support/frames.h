#pragma once
// Builds device reply frames for tests, independently of the command classes.

#include <cstdint>
#include <vector>

#include "protocol/crc32.h"

namespace wing::test {

inline void PutLe(std::vector<std::uint8_t>& v, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) v[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A frame around `body`: markers, length word (with `encryption` in bits 14-15), checksum.
inline std::vector<std::uint8_t> MakeFrame(const std::vector<std::uint8_t>& body, int encryption = 0) {
    std::vector<std::uint8_t> f(body.size() + 10);
    f[0] = 0xA0;
    f[1] = 0xA2;
    PutLe(f, 2, ((body.size() + 4) & 0x3FFF) | (static_cast<unsigned>(encryption) << 14), 2);
    PutLe(f, 4, wing::CalcCrc32(body.size(), body.data()), 4);
    std::copy(body.begin(), body.end(), f.begin() + 8);
    f[8 + body.size()] = 0xB0;
    f[9 + body.size()] = 0xB3;
    return f;
}

// A reply body: ids, type, 11 field bytes (zero unless given) and optional extra data.
inline std::vector<std::uint8_t> MakeBody(std::uint16_t cmd, std::uint16_t sub, std::uint8_t type,
                                          std::vector<std::uint8_t> fields = {},
                                          std::vector<std::uint8_t> extra = {}) {
    std::vector<std::uint8_t> b(16, 0);
    PutLe(b, 0, cmd, 2);
    PutLe(b, 2, sub, 2);
    b[4] = type;
    for (std::size_t i = 0; i < fields.size() && i < 11; ++i) b[5 + i] = fields[i];
    b.insert(b.end(), extra.begin(), extra.end());
    return b;
}

inline std::vector<std::uint8_t> StatusReply(std::uint16_t cmd, std::uint16_t sub, std::uint8_t code) {
    return MakeFrame(MakeBody(cmd, sub, 3, {code}));
}

inline std::vector<std::uint8_t> DataReply(std::uint16_t cmd, std::uint16_t sub, std::vector<std::uint8_t> fields = {},
                                           std::vector<std::uint8_t> extra = {}) {
    return MakeFrame(MakeBody(cmd, sub, 2, std::move(fields), std::move(extra)));
}

}  // namespace wing::test
