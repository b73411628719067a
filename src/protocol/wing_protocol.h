#pragma once
// Marker searches on the receive ring and on the frame buffer, and the parse of a
// complete frame into dispatches to the command registry.

#include <cstdint>

#include "protocol/object.h"

namespace wing {

class CCmdRegistry;

constexpr int kNotFound = -10;
constexpr int kRingSize = 1024;
constexpr int kFrameBufferSize = 256;
constexpr int kMinDispatchedFrame = 26;  // a body of at least 16 bytes

class CProtocol : public CObject {
public:
    // `extent` is the size of `buffer`: kRingSize for the ring, where indices wrap;
    // for a frame buffer, the number of valid bytes, beyond which nothing is read.
    virtual int Parse(std::uint8_t* buffer, int length);
    virtual int FindStart(const std::uint8_t* buffer, int from, int to, int extent) const = 0;
    virtual int FindEnd(const std::uint8_t* buffer, int start, std::uint16_t word, int extent) const;
};

class CWingProtocol : public CProtocol {
public:
    int Parse(std::uint8_t* buffer, int length) override;
    int FindStart(const std::uint8_t* buffer, int from, int to, int extent) const override;
    int FindEnd(const std::uint8_t* buffer, int start, std::uint16_t word, int extent) const override;

    CCmdRegistry* m_registry = nullptr;  // set when the dialog is initialised
};

// The length word of a frame starting at `start` (bytes start+2, start+3, wrapping on the ring).
std::uint16_t ReadLengthWord(const std::uint8_t* buffer, int start, int extent);

}  // namespace wing
