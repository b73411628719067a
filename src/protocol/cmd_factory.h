#pragma once
// The single frame builder: turns a command object into its request frame.

#include <cstdint>

#include "protocol/object.h"

namespace wing {

class CWingMsg;

class CCmdFactory : public CObject {
public:
    virtual const std::uint8_t* BuildFrame(CWingMsg* message, std::uint16_t& length) = 0;

    CWingMsg* m_current = nullptr;
};

class CWingCmdFactory : public CCmdFactory {
public:
    explicit CWingCmdFactory(std::uint8_t encryption = 0) : m_encryption(encryption) {}

    // Builds the request frame; the buffer stays owned by the message.
    const std::uint8_t* BuildFrame(CWingMsg* message, std::uint16_t& length) override;

    std::uint8_t m_encryption;
};

}  // namespace wing
