#include "protocol/cmd_registry.h"

#include <algorithm>

#include "protocol/crc32.h"
#include "protocol/wing_msg.h"

namespace wing {

void CCmdRegistry::Register(CWingMsg* message) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), message), m_pending.end());
    // A new request waits for its own answer. An answer whose task had already given up
    // (its handler kept the reader thread past the task's last wait) left the event
    // signalled; kept, it would pass the next request of this command off as answered.
    message->m_answerEvent.Reset();
    m_pending.push_back(message);
}

CWingMsg* CCmdRegistry::Find(std::uint16_t command, std::uint16_t sub) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    for (CWingMsg* m : m_pending)
        if (m->m_cmdId == command && m->m_subId == sub) return m;
    return nullptr;
}

void CCmdRegistry::Remove(CWingMsg* message) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), message), m_pending.end());
}

bool CCmdRegistry::IsPending(const CWingMsg* message) const {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return std::find(m_pending.begin(), m_pending.end(), message) != m_pending.end();
}

std::size_t CCmdRegistry::PendingCount() const {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return m_pending.size();
}

int CCmdRegistry::Dispatch(const std::uint8_t* frame, int m) {
    constexpr WPARAM kFrameErrorKind = 3;
    if (m < kFrameOverhead || frame[0] != kFrameStart0 || frame[1] != kFrameStart1) {
        PostMessageTo(m_window, WM_FRAME_ERROR, kFrameErrorKind, 8);
        return 8;
    }
    std::uint16_t word = ReadU16(frame + 2);
    m_lastLength = word & 0x3FFF;
    m_lastEncryption = static_cast<std::uint8_t>(word >> 14);

    const std::uint8_t* body = frame + 8;
    auto bodyLength = static_cast<std::uint16_t>(m - kFrameOverhead);
    m_lastChecksum = CalcCrc32(bodyLength, body);
    if (m_lastChecksum != ReadU32(frame + 4)) {
        PostMessageTo(m_window, WM_FRAME_ERROR, kFrameErrorKind, 4);
        return 4;
    }

    m_matched = bodyLength >= 4 ? Find(ReadU16(body), ReadU16(body + 2)) : nullptr;
    // A late copy of an answer already taken matches no request that is waiting now.
    if (m_matched != nullptr && m_matched->RepeatsEarlierAnswer(body, bodyLength)) m_matched = nullptr;
    if (m_matched == nullptr || !m_matched->ApplyReply(body, bodyLength)) {
        PostMessageTo(m_window, WM_FRAME_ERROR, kFrameErrorKind, 7);
        return 7;
    }

    // The window handles the answer before the waiting task is released, so the task
    // finds every effect of that handling in place.
    CWingMsg* message = m_matched;
    SendMessageTo(m_window, WM_DEVICE_ANSWER, reinterpret_cast<WPARAM>(message),
                  message->IsDataReply() ? 0 : 1);
    Remove(message);
    message->m_answerEvent.Set();
    return 0;
}

}  // namespace wing
