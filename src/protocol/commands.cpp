#include "protocol/commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "platform/text.h"

namespace wing {

// ---- Query Status -----------------------------------------------------------------

CQueryStatus::CQueryStatus() {
    m_cmdId = 1;
    m_subId = 0;
    SetDisplayName(L"Query Staus");
}

bool CQueryStatus::DecodeReply(const std::uint8_t* f, std::uint16_t) {
    m_deviceClock = ReadU32(f);
    m_switch = f[4];
    m_startType = f[5];
    m_reservedStart = ReadU32(f + 6);
    m_battery = static_cast<std::uint8_t>(f[10] >> 2);
    m_recordMode = static_cast<std::uint8_t>(f[10] & 0x03);
    return true;
}

// ---- Get Version ------------------------------------------------------------------

CGetVersion::CGetVersion() {
    m_cmdId = 1;
    m_subId = 1;
    std::fill(std::begin(m_versionText), std::end(m_versionText), L'\0');
    SetDisplayName(L"Get Version");
}

bool CGetVersion::DecodeReply(const std::uint8_t* f, std::uint16_t length) {
    if (length == 0) return false;
    m_version = ReadU32(f);
    m_second = ReadU32(f + 4);
    return true;
}

const wchar_t* CGetVersion::FormatVersion() {
    std::fill(std::begin(m_versionText), std::end(m_versionText), L'\0');
    std::swprintf(m_versionText, std::size(m_versionText), L"V %d.%d.%d.%d", (m_version >> 24) & 0xFF,
                  (m_version >> 16) & 0xFF, (m_version >> 8) & 0xFF, m_version & 0xFF);
    return m_versionText;
}

// ---- Get SN -----------------------------------------------------------------------

CGetSN::CGetSN() {
    m_cmdId = 1;
    m_subId = 3;
    CGetSN::Reset();
    SetDisplayName(L"Get SN");
}

void CGetSN::Reset() {
    m_requestByte = 0;
    m_replyByte = 0;
    m_textLength = 0;
    std::memset(m_text, 0, sizeof m_text);
}

std::uint16_t CGetSN::EncodeParams(std::uint16_t offset) {
    PutU8(offset, m_requestByte);
    return static_cast<std::uint16_t>(offset + 1);
}

bool CGetSN::DecodeReply(const std::uint8_t* f, std::uint16_t) {
    std::memset(m_text, 0, sizeof m_text);
    m_replyByte = f[0];
    m_textLength = ReadU32(f + 1);
    return true;
}

bool CGetSN::DecodeExtra(const std::uint8_t* data, std::uint16_t length) {
    std::memset(m_text, 0, sizeof m_text);
    const std::uint32_t arrived = std::min<std::uint32_t>(length, kTextSize);
    std::memcpy(m_text, data, arrived);
    // The text ends at its length, and never past the bytes that came: a length the
    // device gets wrong still leaves the text terminated in its buffer.
    m_text[std::min(m_textLength, arrived)] = '\0';
    return true;
}

int CGetSN::ToWideText(wchar_t* buffer, int capacity) const {
    if (buffer == nullptr || capacity <= 0) return 0;
    std::wstring wide = FromLocale8(std::string_view(m_text, std::strlen(m_text)));
    int n = std::min<int>(static_cast<int>(wide.size()), capacity - 1);
    std::copy_n(wide.begin(), n, buffer);
    buffer[n] = L'\0';
    return n + 1;
}

// ---- Set RTC ----------------------------------------------------------------------

CSetRTC::CSetRTC() {
    m_cmdId = 2;
    m_subId = 0;
    SetDisplayName(L"Set RTC");
}

void CSetRTC::Reset() { m_time = 0; }

std::uint16_t CSetRTC::EncodeParams(std::uint16_t offset) {
    PutU32(offset, m_time);
    return static_cast<std::uint16_t>(offset + 4);
}

// ---- Set Mode ---------------------------------------------------------------------

CSetMode::CSetMode() {
    m_cmdId = 2;
    m_subId = 1;
    SetDisplayName(L"Set Mode");
}

void CSetMode::Reset() {
    m_startType = 0;
    m_recordMode = 0;
    m_reservedStart = 0;
}

std::uint16_t CSetMode::EncodeParams(std::uint16_t offset) {
    PutU8(offset, m_startType);
    PutU8(static_cast<std::uint16_t>(offset + 1), m_recordMode);
    PutU32(static_cast<std::uint16_t>(offset + 2), m_reservedStart);
    return static_cast<std::uint16_t>(offset + 6);
}

// ---- Set Software Switch ----------------------------------------------------------

CSoftwareSwitch::CSoftwareSwitch() {
    m_cmdId = 2;
    m_subId = 4;
    SetDisplayName(L"Set Software Switch");
}

void CSoftwareSwitch::Reset() {
    m_value0 = 0;
    m_value1 = 0;
    m_value2 = 0;
}

std::uint16_t CSoftwareSwitch::EncodeParams(std::uint16_t offset) {
    PutU8(offset, m_value0);
    PutU32(static_cast<std::uint16_t>(offset + 1), m_value1);
    PutU32(static_cast<std::uint16_t>(offset + 5), m_value2);
    return static_cast<std::uint16_t>(offset + 9);
}

// ---- Read Log ---------------------------------------------------------------------

CReadLog::CReadLog() {
    m_cmdId = 3;
    m_subId = 0;
    CReadLog::Reset();
    SetDisplayName(L"Read Log");
}

void CReadLog::Reset() {
    m_replyByte = 0;
    m_firstIndex = 0;
    m_spare = 0;
    m_recordCount = 0;
    std::memset(m_page, 0, sizeof m_page);
    m_repeatPassedIn = 0;
}

std::uint16_t CReadLog::EncodeParams(std::uint16_t offset) {
    PutU16(offset, m_firstIndex);
    PutU16(static_cast<std::uint16_t>(offset + 2), m_recordCount);
    return static_cast<std::uint16_t>(offset + 4);
}

bool CReadLog::DecodeReply(const std::uint8_t* f, std::uint16_t length) {
    std::memset(m_page, 0, sizeof m_page);
    if (length == 0) return false;
    m_replyByte = f[0];
    return length > 1;
}

bool CReadLog::DecodeExtra(const std::uint8_t* data, std::uint16_t length) {
    // Only a whole page is a page: part of one, or more, leaves the page as it was.
    if (length != kPageSize) return false;
    std::memcpy(m_page, data, sizeof m_page);
    std::memcpy(m_takenPage, m_page, sizeof m_takenPage);
    m_takenIndex = m_firstIndex;
    m_hasTaken = true;
    return true;
}

bool CReadLog::RepeatsEarlierAnswer(const std::uint8_t* body, std::uint16_t length) {
    if (!m_hasTaken || m_takenIndex == m_firstIndex || body == nullptr || length != 16 + kPageSize ||
        body[4] != kTypeDataReply || std::memcmp(body + 16, m_takenPage, kPageSize) != 0)
        return false;
    const int attempt = m_attempt;
    if (m_repeatPassedIn != 0 && attempt > m_repeatPassedIn) return false;  // answers the request written again
    if (m_repeatPassedIn == 0) m_repeatPassedIn = attempt;
    return true;
}

// ---- Query Log Number -------------------------------------------------------------

CQueryLogNumber::CQueryLogNumber() {
    m_cmdId = 3;
    m_subId = 1;
    SetDisplayName(L"Query Log Number");
}

bool CQueryLogNumber::DecodeReply(const std::uint8_t* f, std::uint16_t length) {
    if (length == 0) return false;
    m_count = ReadU16(f);
    return true;
}

// ---- Delete log -------------------------------------------------------------------

CDeleteLog::CDeleteLog() {
    m_cmdId = 3;
    m_subId = 2;
    SetDisplayName(L"Delete log");
}

std::vector<std::wstring> CommandDisplayNames() {
    const CQueryStatus status;
    const CGetVersion version;
    const CGetSN serial;
    const CSetRTC clock;
    const CSetMode mode;
    const CSoftwareSwitch softwareSwitch;
    const CReadLog read;
    const CQueryLogNumber count;
    const CDeleteLog erase;
    std::vector<std::wstring> names;
    for (const CMsg* m : std::initializer_list<const CMsg*>{&status, &version, &serial, &clock, &mode, &softwareSwitch,
                                                            &read, &count, &erase})
        names.emplace_back(m->m_displayName);
    return names;
}

}  // namespace wing
