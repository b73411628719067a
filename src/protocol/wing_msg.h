#pragma once
// The message object every device command derives from. One long-lived object per
// command: each request is built from it and each reply decoded into it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sync.h"
#include "protocol/object.h"

namespace wing {

constexpr std::uint8_t kFrameStart0 = 0xA0;
constexpr std::uint8_t kFrameStart1 = 0xA2;
constexpr std::uint8_t kFrameEnd0 = 0xB0;
constexpr std::uint8_t kFrameEnd1 = 0xB3;
constexpr std::uint16_t kRequestBodyLength = 16;
constexpr std::uint16_t kFrameOverhead = 10;  // markers, length word, checksum

constexpr std::uint8_t kTypeRequest = 1;
constexpr std::uint8_t kTypeDataReply = 2;
constexpr std::uint8_t kTypeStatusReply = 3;

class CMsg : public CObject {
public:
    CMsg();
    ~CMsg() override = default;

    virtual bool IsStatusReply() const = 0;
    virtual bool IsDataReply() const = 0;

    // Set by the receive parser once a reply to this message has been handled.
    AutoResetEvent m_answerEvent;
    wchar_t m_displayName[32];

protected:
    void SetDisplayName(const wchar_t* name);
};

class CWingMsg : public CMsg {
public:
    CWingMsg();
    ~CWingMsg() override = default;

    bool IsStatusReply() const override;
    bool IsDataReply() const override;
    virtual bool DecodeReply(const std::uint8_t* fields, std::uint16_t length);
    virtual bool DecodeExtra(const std::uint8_t* data, std::uint16_t length);
    virtual std::uint16_t EncodeParams(std::uint16_t offset);
    virtual bool IsValid() const;
    virtual void Reset();
    // The bytes after the 16-byte body that this command's data reply carries. A reply of
    // any other length is not an answer to it.
    virtual std::uint16_t ReplyExtraLength() const;
    // True when a received body may be a late copy of an answer this message already
    // took for an earlier request, so it is not taken as the answer to the one now
    // waiting. Checked before the body is applied; the base class never knows of one.
    virtual bool RepeatsEarlierAnswer(const std::uint8_t* body, std::uint16_t length);

    // True when a body has the length its type gives: a data reply 16 bytes and the
    // command's extra data, every other reply 16 bytes.
    bool HasReplyShape(const std::uint8_t* body, std::uint16_t length) const;

    // Steps 1-3 of building a request: body filled, body length set, a zero-filled
    // frame buffer of the right size with its start marker. Returns the checksum.
    std::uint32_t PrepareRequest();

    // Applies a received body; false when it could not be decoded.
    bool ApplyReply(const std::uint8_t* body, std::uint16_t length);

    // The body a request is built from: the external body when one is set.
    const std::uint8_t* RequestBody() const;

    std::uint16_t m_cmdId = 0;
    std::uint16_t m_subId = 0;
    std::uint8_t m_statusCode = 0;
    std::uint8_t m_body[kRequestBodyLength];
    std::uint8_t m_replyType = 0;
    std::vector<std::uint8_t> m_frame;               // the last frame built
    std::unique_ptr<std::uint8_t[]> m_externalBody;  // never set by this system's commands
    std::uint16_t m_frameLength = 0;
    std::uint16_t m_bodyLength = 0;
    // Which attempt (1, 2, 3) of the request now waiting was written last; the sender
    // sets it before each write, the reader thread reads it while applying a reply.
    std::atomic<int> m_attempt{0};

protected:
    // The initialisation the constructor runs; the base Reset() runs it again.
    void InitWingMsg();

    // Little-endian helpers for the body and reply fields.
    void PutU8(std::uint16_t offset, std::uint8_t v) { m_body[offset] = v; }
    void PutU16(std::uint16_t offset, std::uint16_t v);
    void PutU32(std::uint16_t offset, std::uint32_t v);
};

std::uint16_t ReadU16(const std::uint8_t* p);
std::uint32_t ReadU32(const std::uint8_t* p);

}  // namespace wing
