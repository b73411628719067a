#include "protocol/wing_protocol.h"

#include "protocol/cmd_registry.h"
#include "protocol/wing_msg.h"

namespace wing {
namespace {

// Index arithmetic on the ring is modulo its size; a frame buffer never wraps.
int Wrap(int i, int extent) { return extent == kRingSize ? ((i % kRingSize) + kRingSize) % kRingSize : i; }

bool IsStartAt(const std::uint8_t* b, int i, int extent) {
    int next = Wrap(i + 1, extent);
    return next < extent && b[i] == kFrameStart0 && b[next] == kFrameStart1;
}

}  // namespace

std::uint16_t ReadLengthWord(const std::uint8_t* buffer, int start, int extent) {
    int lo = Wrap(start + 2, extent);
    int hi = Wrap(start + 3, extent);
    if (hi >= extent) return 0xFFFF;  // cannot be a frame of this buffer
    return static_cast<std::uint16_t>(buffer[lo] | (buffer[hi] << 8));
}

int CProtocol::Parse(std::uint8_t*, int) { return 0; }
int CProtocol::FindEnd(const std::uint8_t*, int, std::uint16_t, int) const { return 0; }

int CWingProtocol::FindStart(const std::uint8_t* buffer, int from, int to, int extent) const {
    if (from < to) {
        for (int i = from; i < to; ++i)
            if (IsStartAt(buffer, i, extent)) return i;
        return kNotFound;
    }
    if (from == to) return kNotFound;
    for (int i = from; i < extent; ++i)
        if (IsStartAt(buffer, i, extent)) return i;
    for (int i = 0; i < to; ++i)
        if (IsStartAt(buffer, i, extent)) return i;
    return kNotFound;
}

int CWingProtocol::FindEnd(const std::uint8_t* buffer, int start, std::uint16_t word, int extent) const {
    int p = (start + word + 4) % kRingSize;
    int next = Wrap(p + 1, extent);
    if (p >= extent || next >= extent) return kNotFound;
    return buffer[p] == kFrameEnd0 && buffer[next] == kFrameEnd1 ? p : kNotFound;
}

int CWingProtocol::Parse(std::uint8_t* buffer, int n) {
    for (int i = 0; i < n; ++i) {
        int s = FindStart(buffer, i, n - 1, n);
        if (s == kNotFound) continue;
        std::uint16_t word = ReadLengthWord(buffer, s, n);
        int e = FindEnd(buffer, s, word, n);
        if (e == kNotFound) continue;
        int m = e - s + 2;
        if (s >= 0 && m >= kMinDispatchedFrame) {
            if (m_registry != nullptr) m_registry->Dispatch(buffer + s, m);
            i += m;
        }
    }
    return 0;
}

}  // namespace wing
