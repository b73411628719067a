#include "timesync/time_sync.h"

#include <chrono>
#include <cstdio>

#include "platform/net.h"
#include "platform/text.h"
#include "timesync/wsocket.h"

namespace wing {

namespace {

constexpr std::uint8_t kClientRequestFlags = 0x1B;  // leap 0, version 3, mode 3
constexpr std::size_t kOriginateOffset = 24;
constexpr std::size_t kReceiveOffset = 32;
constexpr std::size_t kTransmitOffset = 40;

void WriteBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool NtpSettings::IsConnected() const { return isConnected ? isConnected() : IsNetworkConnected(); }

std::array<std::uint8_t, kNtpPacketSize> BuildNtpRequest(NtpTimestamp transmit) {
    std::array<std::uint8_t, kNtpPacketSize> packet{};
    packet[0] = kClientRequestFlags;
    WriteBigEndian32(&packet[kTransmitOffset], NtpSeconds(transmit));
    WriteBigEndian32(&packet[kTransmitOffset + 4], NtpFraction(transmit));
    return packet;
}

NtpTimestamp ReadNtpTimestamp(const std::uint8_t* packet, std::size_t offset) {
    return MakeNtpTimestamp(ReadBigEndian32(packet + offset), ReadBigEndian32(packet + offset + 4));
}

bool IsValidNtpReply(const std::uint8_t* packet, std::size_t size, NtpTimestamp sent) {
    if (size < kNtpPacketSize) return false;
    const unsigned leap = packet[0] >> 6;
    const unsigned version = (packet[0] >> 3) & 7;
    const unsigned mode = packet[0] & 7;
    const unsigned stratum = packet[1];
    // A zero receive time means the server never took in our request, so it cannot be
    // the answer to it.
    return mode == 4 && (version == 3 || version == 4) && leap != 3 && stratum >= 1 && stratum <= 15 &&
           ReadNtpTimestamp(packet, kReceiveOffset) != 0 && ReadNtpTimestamp(packet, kTransmitOffset) != 0 &&
           ReadNtpTimestamp(packet, kOriginateOffset) == sent;
}

double NtpOffsetSeconds(NtpTimestamp t1, NtpTimestamp t2, NtpTimestamp t3, NtpTimestamp t4) {
    return (NtpDifferenceSeconds(t2, t1) + NtpDifferenceSeconds(t3, t4)) / 2;
}

std::wstring ResolveServerAddress(const std::wstring& host) {
    return FromUtf8(ResolveHostIPv4(ToUtf8(host)));
}

void QueryNtpServer(const std::wstring& address, NtpReply& reply, const NtpSettings& settings) {
    using Clock = std::chrono::steady_clock;
    SystemClock& clock = settings.Clock();

    CWSocket socket;
    socket.CreateDatagram();
    socket.Connect(ToUtf8(address), settings.port);

    const NtpTimestamp sent = SystemTimeToNtp(clock.Now());
    const auto request = BuildNtpRequest(sent);
    socket.Send(request.data(), request.size());

    // A datagram that is not a valid answer to this request (garbled, spoofed, or from an
    // unsynchronised server) is dropped and the wait goes on until the deadline.
    const auto deadline = Clock::now() + std::chrono::milliseconds(settings.replyTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !socket.IsReadable(static_cast<std::uint32_t>(left.count()))) {
            throw CWSocketException(WSAETIMEDOUT);
        }
        const NtpTimestamp t4 = SystemTimeToNtp(clock.Now());
        std::uint8_t buffer[kNtpReplyBufferSize] = {};
        const std::size_t size = socket.Receive(buffer, sizeof buffer);
        if (size == 0) throw CWSocketException(ERROR_GRACEFUL_DISCONNECT);
        if (!IsValidNtpReply(buffer, size, sent)) continue;

        reply.t1 = ReadNtpTimestamp(buffer, kOriginateOffset);
        reply.t2 = ReadNtpTimestamp(buffer, kReceiveOffset);
        reply.t3 = ReadNtpTimestamp(buffer, kTransmitOffset);
        reply.t4 = t4;
        reply.offset = NtpOffsetSeconds(reply.t1, reply.t2, reply.t3, reply.t4);
        break;
    }
    socket.Close();
}

bool EnableSystemTimePrivilege(SystemClock& clock, bool& raised) { return clock.EnableSetRight(raised); }

bool SetPcClock(NtpTimestamp t, SystemClock& clock) {
    bool raised = false;
    if (!EnableSystemTimePrivilege(clock, raised)) return false;
    const bool set = clock.Set(NtpToSystemTime(t));
    if (raised) clock.RestoreSetRight();
    return set;
}

bool SyncPcClock(const NtpSettings& settings) {
    const std::wstring address = ResolveServerAddress(settings.server);
    if (address.empty()) return false;
    if (!settings.IsConnected()) return false;
    try {
        NtpReply reply;
        QueryNtpServer(address, reply, settings);
        std::fputs("Time was successfully retreived from NTP server\n", stdout);
        SystemClock& clock = settings.Clock();
        return SetPcClock(AddSeconds(SystemTimeToNtp(clock.Now()), reply.offset), clock);
    } catch (const CWSocketException&) {
        return false;  // silent: the clock stays as it was
    }
}

}  // namespace wing
