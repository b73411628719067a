#include "protocol/receive_ring.h"

#include <cstring>

#include "protocol/wing_msg.h"

namespace wing {
namespace {
int Mod(int i) { return ((i % kRingSize) + kRingSize) % kRingSize; }
}  // namespace

void ReceiveRing::Reset() {
    std::memset(m_ring, 0, sizeof m_ring);
    std::memset(m_frame, 0, sizeof m_frame);
    m_frameLength = 0;
    m_read = -1;
    m_write = -1;
    m_wrap = false;
    m_current = nullptr;
    m_missing = 0;
}

bool ReceiveRing::IsRingEmpty() const { return m_write == -1 || m_read == m_write; }

bool ReceiveRing::IsRingFull() const {
    if (m_read == -1) return m_write >= kRingSize;
    return m_wrap && m_write > m_read;
}

int ReceiveRing::AppendBytes(const std::uint8_t* data, int n) {
    if (n > kRingSize) return 5;
    if (n <= 0) return 0;
    if (m_wrap && Mod(m_write + n) >= m_read) return 0;
    int start = Mod(m_write + 1);
    if (m_write + n < kRingSize) {
        std::memcpy(m_ring + start, data, n);
    } else if (start == 0) {
        std::memcpy(m_ring, data, n);
    } else {
        m_wrap = true;
        int first = kRingSize - start;
        std::memcpy(m_ring + start, data, first);
        std::memcpy(m_ring, data + first, n - first);
    }
    m_write = Mod(m_write + n);
    return 0;
}

int ReceiveRing::AvailableFrom(int start) const { return Mod(m_write - start) + 1; }

void ReceiveRing::ConsumeThrough(int pos) {
    // Consuming past the ring's end means the reader has followed the writer around; a
    // wrap flag left set would make every later chunk look like an overwrite and be dropped.
    if (m_read >= 0 && pos < m_read) m_wrap = false;
    m_read = pos;
}

int ReceiveRing::EndTest(std::uint16_t word, int start) const {
    // Called once the whole frame is in the ring, so its end lies among unread bytes.
    return m_protocol->FindEnd(m_ring, start, word, kRingSize);
}

void ReceiveRing::DiscardUpToNextStartByte() {
    // No start marker among the unread bytes, so any 0xA0 before the last byte is
    // followed by something other than 0xA2 and is garbage too. Only a 0xA0 that is the
    // last byte stored may be the first half of a marker still on its way; everything
    // else goes, so a stray 0xA0 cannot hold the read index while the writer laps it.
    m_read = m_ring[m_write] == kFrameStart0 ? Mod(m_write - 1) : m_write;
}

void ReceiveRing::ExtractFrame() {
    std::memset(m_frame, 0, sizeof m_frame);
    m_frameLength = 0;
    m_missing = 0;
    if (IsRingEmpty()) {
        m_current = nullptr;
        return;
    }

    int s = m_protocol->FindStart(m_ring, Mod(m_read + 1), Mod(m_write + 1), kRingSize);
    if (s == kNotFound) {
        DiscardUpToNextStartByte();
        m_current = nullptr;
        m_wrap = false;
        return;
    }

    if (AvailableFrom(s) < 4) {
        // The length word is still on its way; what the ring holds there is stale.
        m_missing = 4 - AvailableFrom(s);
        m_current = nullptr;
        return;
    }
    std::uint16_t word = ReadLengthWord(m_ring, s, kRingSize);
    int last = Mod(s + word + 5);                  // where the 0xB3 must be
    int length = Mod(last - s) + 1;                // the frame's extent on the ring
    if (length > kFrameBufferSize) {
        // Longer than any reply and than the frame buffer: not a frame we can take.
        // Skip its start marker and look at what follows.
        ConsumeThrough(s);
        m_current = nullptr;
        return;
    }
    if (AvailableFrom(s) < length) {
        // The rest is on its way. Where the frame would end, the ring still holds bytes
        // of an earlier frame, which may well include an old end marker.
        m_missing = length - AvailableFrom(s);
        m_current = nullptr;
        return;
    }
    int e = EndTest(word, s);
    if (e == kNotFound) {
        // All its bytes are here but the end marker is not: the start was a stray
        // 0xA0 0xA2 in the stream. Skip it rather than wait for a reopen.
        ConsumeThrough(s);
        m_current = nullptr;
        return;
    }

    last = Mod(e + 1);
    m_current = m_protocol;
    if (last > s) {
        m_frameLength = last - s + 1;
        std::memcpy(m_frame, m_ring + s, m_frameLength);
    } else {
        m_frameLength = last - s + kRingSize + 1;
        int first = kRingSize - s;
        std::memcpy(m_frame, m_ring + s, first);
        std::memcpy(m_frame + first, m_ring, last + 1);
        m_wrap = false;
    }
    // Everything through the frame's end is consumed, garbage before it included. Moving
    // the read index by the frame's length alone would leave it short by that garbage;
    // with several replies buffered the shortfall adds up until an earlier reply is cut
    // out a second time and taken as the answer to a later request.
    ConsumeThrough(last);
}

}  // namespace wing
