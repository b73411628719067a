#include "protocol/wing_msg.h"

#include <algorithm>

#include "protocol/crc32.h"

namespace wing {

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

CMsg::CMsg() { std::fill(std::begin(m_displayName), std::end(m_displayName), L'\0'); }

void CMsg::SetDisplayName(const wchar_t* name) {
    std::fill(std::begin(m_displayName), std::end(m_displayName), L'\0');
    for (std::size_t i = 0; i + 1 < std::size(m_displayName) && name[i] != L'\0'; ++i) m_displayName[i] = name[i];
}

CWingMsg::CWingMsg() { InitWingMsg(); }

void CWingMsg::InitWingMsg() {
    m_cmdId = 0;
    m_subId = 0;
    m_replyType = 0;
    m_statusCode = 0;
    std::fill(std::begin(m_body), std::end(m_body), 0xFF);
    m_frame.clear();
    m_externalBody.reset();
    m_frameLength = 0;
    m_bodyLength = 0;
}

bool CWingMsg::IsStatusReply() const { return m_replyType == kTypeStatusReply; }
bool CWingMsg::IsDataReply() const { return m_replyType == kTypeDataReply; }
bool CWingMsg::DecodeReply(const std::uint8_t*, std::uint16_t) { return true; }
bool CWingMsg::DecodeExtra(const std::uint8_t*, std::uint16_t) { return true; }
std::uint16_t CWingMsg::EncodeParams(std::uint16_t) { return 0; }
bool CWingMsg::IsValid() const { return true; }
void CWingMsg::Reset() { InitWingMsg(); }

void CWingMsg::PutU16(std::uint16_t offset, std::uint16_t v) {
    m_body[offset] = static_cast<std::uint8_t>(v);
    m_body[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

void CWingMsg::PutU32(std::uint16_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_body[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

const std::uint8_t* CWingMsg::RequestBody() const {
    return m_externalBody ? m_externalBody.get() : m_body;
}

std::uint32_t CWingMsg::PrepareRequest() {
    PutU16(0, m_cmdId);
    PutU16(2, m_subId);
    m_body[4] = kTypeRequest;
    EncodeParams(5);
    if (!m_externalBody) m_bodyLength = kRequestBodyLength;
    std::uint32_t crc = CalcCrc32(m_bodyLength, RequestBody());
    m_frameLength = static_cast<std::uint16_t>(m_bodyLength + kFrameOverhead);
    m_frame.assign(m_frameLength, 0);
    m_frame[0] = kFrameStart0;
    m_frame[1] = kFrameStart1;
    return crc;
}

bool CWingMsg::RepeatsEarlierAnswer(const std::uint8_t*, std::uint16_t) { return false; }

std::uint16_t CWingMsg::ReplyExtraLength() const { return 0; }

bool CWingMsg::HasReplyShape(const std::uint8_t* body, std::uint16_t n) const {
    if (body == nullptr || n < kRequestBodyLength) return false;
    const unsigned extra = body[4] == kTypeDataReply ? ReplyExtraLength() : 0;
    return n == kRequestBodyLength + extra;
}

bool CWingMsg::ApplyReply(const std::uint8_t* body, std::uint16_t n) {
    // A reply cut short or carrying more than its layout is not an answer: nothing of it
    // is taken, the command keeps waiting and its request is written again.
    if (!HasReplyShape(body, n)) return false;
    m_cmdId = ReadU16(body);
    m_subId = ReadU16(body + 2);
    m_replyType = body[4];
    if (IsStatusReply()) {
        m_statusCode = body[5];
        return true;
    }
    if (IsDataReply()) {
        if (!DecodeReply(body + 5, 11)) return false;
        if (n > 16) DecodeExtra(body + 16, static_cast<std::uint16_t>(n - 16));
        return true;
    }
    return true;
}

}  // namespace wing
