#pragma once
// The logger's nine commands. Ids: 1 = queries, 2 = settings, 3 = the log.

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/wing_msg.h"

namespace wing {

class CQueryStatus : public CWingMsg {
public:
    CQueryStatus();
    bool DecodeReply(const std::uint8_t* fields, std::uint16_t length) override;

    std::uint32_t m_deviceClock = 0;
    std::uint8_t m_switch = 0;     // 0 off, 1 on, other: neither
    std::uint8_t m_startType = 0;  // 1 reserved start, anything else start now
    std::uint32_t m_reservedStart = 0;
    std::uint8_t m_battery = 0;     // tenths of a volt
    std::uint8_t m_recordMode = 0;  // 0-2 interval modes, 3 racing
};

class CGetVersion : public CWingMsg {
public:
    CGetVersion();
    bool DecodeReply(const std::uint8_t* fields, std::uint16_t length) override;
    // "V a.b.c.d" from the version's bytes, most significant first.
    const wchar_t* FormatVersion();

    std::uint32_t m_version = 0;
    std::uint32_t m_second = 0;
    wchar_t m_versionText[32];
};

class CGetSN : public CWingMsg {
public:
    static constexpr int kTextSize = 128;

    CGetSN();
    std::uint16_t EncodeParams(std::uint16_t offset) override;
    bool DecodeReply(const std::uint8_t* fields, std::uint16_t length) override;
    bool DecodeExtra(const std::uint8_t* data, std::uint16_t length) override;
    void Reset() override;
    std::uint16_t ReplyExtraLength() const override { return kTextSize; }
    // Converts the text into `buffer` (room for `capacity` wide characters) and
    // terminates it; returns the characters written including the terminator, 0 for null.
    int ToWideText(wchar_t* buffer, int capacity = kTextSize + 1) const;

    std::uint8_t m_requestByte = 0;
    std::uint8_t m_replyByte = 0;
    std::uint32_t m_textLength = 0;
    // One byte more than the device sends, so the terminator always fits.
    char m_text[kTextSize + 1];
};

class CSetRTC : public CWingMsg {
public:
    CSetRTC();
    std::uint16_t EncodeParams(std::uint16_t offset) override;
    void Reset() override;

    std::uint32_t m_time = 0;
};

class CSetMode : public CWingMsg {
public:
    CSetMode();
    std::uint16_t EncodeParams(std::uint16_t offset) override;
    void Reset() override;

    std::uint8_t m_startType = 0;
    std::uint8_t m_recordMode = 0;
    std::uint32_t m_reservedStart = 0;
};

class CSoftwareSwitch : public CWingMsg {
public:
    CSoftwareSwitch();
    std::uint16_t EncodeParams(std::uint16_t offset) override;
    void Reset() override;

    std::uint8_t m_value0 = 0;
    std::uint32_t m_value1 = 0;
    std::uint32_t m_value2 = 0;
};

class CReadLog : public CWingMsg {
public:
    static constexpr int kPageSize = 128;

    CReadLog();
    std::uint16_t EncodeParams(std::uint16_t offset) override;
    bool DecodeReply(const std::uint8_t* fields, std::uint16_t length) override;
    bool DecodeExtra(const std::uint8_t* data, std::uint16_t length) override;
    void Reset() override;
    std::uint16_t ReplyExtraLength() const override { return kPageSize; }
    // A data reply carrying the very page last taken for another first index: a late
    // copy of that earlier answer, or the true answer where the flash holds the same
    // bytes again (erased pages past the log). Content cannot tell them apart, so the
    // first such reply to a request is passed over; the request is then written again,
    // and a repeat that comes to that later attempt is its answer.
    bool RepeatsEarlierAnswer(const std::uint8_t* body, std::uint16_t length) override;

    std::uint8_t m_replyByte = 0;
    std::uint16_t m_firstIndex = 0;
    std::uint16_t m_spare = 0;
    std::uint16_t m_recordCount = 0;
    std::uint8_t m_page[kPageSize];

private:
    // The last page taken and the first index it was asked for; Reset keeps them, as
    // it runs before every page request.
    std::uint8_t m_takenPage[kPageSize] = {};
    std::uint16_t m_takenIndex = 0;
    bool m_hasTaken = false;
    // The attempt of the waiting request during which a repeat of the taken page was
    // first passed over (0: none yet); Reset clears it for the next request.
    int m_repeatPassedIn = 0;
};

class CQueryLogNumber : public CWingMsg {
public:
    CQueryLogNumber();
    bool DecodeReply(const std::uint8_t* fields, std::uint16_t length) override;

    std::uint16_t m_count = 0;
};

class CDeleteLog : public CWingMsg {
public:
    CDeleteLog();
};

// The name of each of the nine commands, as a refusal or a silence names it.
std::vector<std::wstring> CommandDisplayNames();

}  // namespace wing
