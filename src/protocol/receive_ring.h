#pragma once
// The receive ring of a serial channel: the reader thread appends what the port
// delivers and then cuts one complete frame at a time into the frame buffer, under the
// channel's lock.

#include <cstdint>

#include "protocol/wing_protocol.h"

namespace wing {

struct ReceiveRing {
    explicit ReceiveRing(CWingProtocol* protocol) : m_protocol(protocol) { Reset(); }

    void Reset();

    // Stores a chunk read from the port. Returns 5 when it is longer than the ring
    // (nothing stored), else 0, also when the chunk was dropped because it would
    // overwrite unread bytes.
    int AppendBytes(const std::uint8_t* data, int length);
    bool IsRingFull() const;
    bool IsRingEmpty() const;
    // Copies the next complete frame into the frame buffer and sets the current
    // protocol, or skips garbage; the current protocol stays null when no frame is ready.
    void ExtractFrame();

    std::uint8_t m_ring[kRingSize];
    int m_read = -1;   // index of the last byte consumed, -1 when none since the reset
    int m_write = -1;  // index of the last byte stored, -1 when none since the reset
    bool m_wrap = false;
    std::uint8_t m_frame[kFrameBufferSize];
    int m_frameLength = 0;
    CProtocol* m_current = nullptr;
    // After ExtractFrame: how many bytes of a frame whose start has arrived are still to
    // come (0 when none is under way), so the reader can sleep through their wire time
    // instead of waking for every piece of them.
    int m_missing = 0;

private:
    // The end test on the ring, for a frame that has fully arrived: the end marker's
    // index, or kNotFound when its end does not match.
    int EndTest(std::uint16_t word, int start) const;
    // Number of unread bytes from `start` through the last one stored.
    int AvailableFrom(int start) const;
    // Marks everything through `pos` consumed.
    void ConsumeThrough(int pos);
    void DiscardUpToNextStartByte();

    CWingProtocol* m_protocol;
};

}  // namespace wing
