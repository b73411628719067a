#pragma once
// The commands waiting for an answer, and the dispatch of a checked frame to one.

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace wing {

class CWingMsg;

class CCmdRegistry {
public:
    // Appends the message, moving it to the end when it is already waiting.
    void Register(CWingMsg* message);
    // The first waiting message with these ids, or null.
    CWingMsg* Find(std::uint16_t command, std::uint16_t sub);
    void Remove(CWingMsg* message);
    // Checks a complete frame of `length` bytes and completes its waiting message.
    // Returns 0, or the reason the frame was dropped (8 markers, 4 checksum, 7 no match).
    int Dispatch(const std::uint8_t* frame, int length);

    bool IsPending(const CWingMsg* message) const;
    std::size_t PendingCount() const;

    CWingMsg* m_matched = nullptr;
    std::uint8_t m_lastEncryption = 0;
    std::uint16_t m_lastLength = 0;
    std::uint32_t m_lastChecksum = 0;
    HWND m_window = nullptr;

private:
    // Tasks register while the reader thread searches: the list has its own guard.
    mutable std::mutex m_pendingMutex;
    std::vector<CWingMsg*> m_pending;
};

}  // namespace wing
