#include "protocol/cmd_factory.h"

#include <cstring>

#include "protocol/wing_msg.h"

namespace wing {

const std::uint8_t* CWingCmdFactory::BuildFrame(CWingMsg* message, std::uint16_t& length) {
    m_current = message;
    std::uint32_t crc = message->PrepareRequest();
    std::uint8_t* f = message->m_frame.data();
    std::uint16_t n = message->m_bodyLength;
    auto word = static_cast<std::uint16_t>(((n + 4) & 0x3FFF) | (m_encryption << 14));
    f[2] = static_cast<std::uint8_t>(word);
    f[3] = static_cast<std::uint8_t>(word >> 8);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    std::memcpy(f + 8, message->RequestBody(), n);
    f[8 + n] = kFrameEnd0;
    f[9 + n] = kFrameEnd1;
    length = message->m_frameLength;
    return f;
}

}  // namespace wing
