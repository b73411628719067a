#pragma once
// One-shot SNTP correction of the PC clock: one exchange with a time server over UDP,
// then the system clock (UTC) moved by the measured offset. Every failure is silent and
// leaves the clock as it was.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/system_clock.h"
#include "platform/text.h"
#include "settings/config.h"
#include "timesync/ntp_time.h"

namespace wing {

constexpr std::uint16_t kNtpPort = 123;
constexpr std::uint32_t kNtpReplyTimeoutMs = 5000;
constexpr std::size_t kNtpPacketSize = 48;
// A reply is read into a zeroed buffer of this size; longer datagrams are cut.
constexpr std::size_t kNtpReplyBufferSize = 68;

struct NtpSettings {
    std::wstring server = FromUtf8(kDefaultNtpServer);  // the settings' default
    std::uint16_t port = kNtpPort;
    std::uint32_t replyTimeoutMs = kNtpReplyTimeoutMs;
    // The clock that is read and set; the machine's own clock when null.
    SystemClock* clock = nullptr;
    // The connectivity test; IsNetworkConnected when empty.
    std::function<bool()> isConnected;

    SystemClock& Clock() const { return clock != nullptr ? *clock : RealSystemClock(); }
    bool IsConnected() const;
};

struct NtpReply {
    NtpTimestamp t1 = 0;  // originate: the server's copy of our transmit time
    NtpTimestamp t2 = 0;  // receive: server time when the request arrived
    NtpTimestamp t3 = 0;  // transmit: server time when the reply left
    NtpTimestamp t4 = 0;  // our time when the reply became readable
    double offset = 0.0;  // seconds to add to our clock
};

// The whole synchronisation. True when the clock was set.
bool SyncPcClock(const NtpSettings& settings = {});

// The first IPv4 address of `host` in dotted text; empty when it does not resolve.
std::wstring ResolveServerAddress(const std::wstring& host);

// One exchange with the server at `address` (settings.port). Replies that fail
// IsValidNtpReply are discarded as if they had not come. Throws CWSocketException on
// any failure: 10060 when no valid reply came within settings.replyTimeoutMs, 1226 for
// an empty datagram.
void QueryNtpServer(const std::wstring& address, NtpReply& reply, const NtpSettings& settings);

// The 48-byte client request (leap 0, version 3, mode 3) carrying `transmit`.
std::array<std::uint8_t, kNtpPacketSize> BuildNtpRequest(NtpTimestamp transmit);

// A big-endian timestamp at `offset` of a packet.
NtpTimestamp ReadNtpTimestamp(const std::uint8_t* packet, std::size_t offset);

// What an SNTP client must check before believing a reply: at least 48 bytes, mode 4
// (server), version 3 or 4, leap indicator not 3 (unsynchronised), stratum 1 to 15
// (0 is a kiss-o'-death), receive and transmit timestamps that are not zero, and an
// originate timestamp equal to the transmit time of our request.
bool IsValidNtpReply(const std::uint8_t* packet, std::size_t size, NtpTimestamp sent);

// ((T2 - T1) + (T3 - T4)) / 2 in seconds.
double NtpOffsetSeconds(NtpTimestamp t1, NtpTimestamp t2, NtpTimestamp t3, NtpTimestamp t4);

// Makes the right to set the clock effective; `raised` tells whether it must be dropped
// again afterwards.
bool EnableSystemTimePrivilege(SystemClock& clock, bool& raised);

// Sets `clock` to t (with the right enabled for the call only). False leaves it alone.
bool SetPcClock(NtpTimestamp t, SystemClock& clock = RealSystemClock());

}  // namespace wing
