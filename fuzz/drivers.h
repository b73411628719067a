#pragma once
// What one fuzz input does. The libFuzzer targets and the corpus replay test both call
// these drivers, so a corpus file runs through exactly the same code in either.
//
// Each driver builds fresh objects per input (no state carries over between inputs) and
// returns the first broken invariant it saw, or null.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/window.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "protocol/crc32.h"
#include "protocol/receive_ring.h"
#include "protocol/wing_msg.h"
#include "protocol/wing_protocol.h"

namespace wing::fuzz {

struct DriveResult {
    const char* failure = nullptr;  // the first broken invariant, null when all held
    int answers = 0;                // WM_DEVICE_ANSWER sends
    int dataAnswers = 0;            // ... of which answered a data reply
    int frameErrors = 0;            // WM_FRAME_ERROR posts
};

// One object of each of the nine commands, as the main window owns them.
struct CommandSet {
    CQueryStatus status;
    CGetVersion version;
    CGetSN sn;
    CSetRTC rtc;
    CSetMode mode;
    CSoftwareSwitch softwareSwitch;
    CReadLog read;
    CQueryLogNumber count;
    CDeleteLog del;

    std::array<CWingMsg*, 9> All() {
        return {&status, &version, &sn, &rtc, &mode, &softwareSwitch, &read, &count, &del};
    }
    bool Contains(const CWingMsg* m) {
        auto all = All();
        return std::find(all.begin(), all.end(), m) != all.end();
    }
};

// Invariants of the serial-number text that hold after any reply: the text is always
// terminated inside its buffer and converts without running past the caller's buffer.
inline const char* CheckSerialText(const CGetSN& sn) {
    if (sn.m_text[CGetSN::kTextSize] != '\0') return "serial-number text not terminated inside its buffer";
    wchar_t wide[CGetSN::kTextSize + 1];
    int n = sn.ToWideText(wide);
    if (n < 1 || n > CGetSN::kTextSize + 1) return "ToWideText count out of range";
    if (wide[n - 1] != L'\0') return "ToWideText left the text unterminated";
    return nullptr;
}

// ---- The receive side: ring, parser, registry ---------------------------------------

// A window that checks what the registry reports and keeps only counters.
class CheckingWindow : public IWindow {
public:
    CheckingWindow(CCmdRegistry& registry, CommandSet& commands, DriveResult& result)
        : m_registry(registry), m_commands(commands), m_result(result) {}

    bool Post(unsigned msg, WPARAM wp, LPARAM lp) override {
        if (msg != WM_FRAME_ERROR) return Fail("unexpected posted message");
        if (wp != 3 || (lp != 4 && lp != 7 && lp != 8)) return Fail("frame error with unknown kind or reason");
        ++m_result.frameErrors;
        return true;
    }

    LRESULT Send(unsigned msg, WPARAM wp, LPARAM lp) override {
        if (msg != WM_DEVICE_ANSWER) return Fail("unexpected sent message");
        auto* m = reinterpret_cast<CWingMsg*>(wp);
        if (!m_commands.Contains(m)) return Fail("answer for an object that is not one of the commands");
        if (lp != (m->IsDataReply() ? 0 : 1)) return Fail("answer's lParam disagrees with the reply type");
        // Removed from the pending list only after the window has handled the answer.
        if (!m_registry.IsPending(m)) return Fail("answered command no longer pending while the window handles it");
        ++m_result.answers;
        if (m->IsDataReply()) ++m_result.dataAnswers;
        return 0;
    }

    bool IsWindow() const override { return true; }

private:
    bool Fail(const char* what) {
        if (m_result.failure == nullptr) m_result.failure = what;
        return false;
    }

    CCmdRegistry& m_registry;
    CommandSet& m_commands;
    DriveResult& m_result;
};

// Input layout of the receive driver: three header bytes, then the byte stream.
//   byte 0: where the ring's indices stand before the stream (0-200: 5 * value;
//           201-255: 968 + (value - 200), so every start from 969 to 1023 is reachable)
//   byte 1: bits 0-6 + 1 = chunk size (1-128); bit 7: vary each chunk between 1 and
//           twice that (at most 256, the reader's buffer), from a generator seeded with byte 1
//   byte 2: bits 0-1 + 1 = receive passes run after every that many chunks;
//           bit 2: rewrite the checksum of every marked frame in the stream, so that
//           mutations get past the checksum test and reach the commands' decoders
constexpr std::size_t kReceiveHeader = 3;

inline int StartPosition(std::uint8_t b) { return b <= 200 ? 5 * b : 968 + (b - 200); }

// Rewrites the checksum of each 0xA0 0xA2 ... 0xB0 0xB3 run whose length word spans it.
inline void RepairChecksums(std::vector<std::uint8_t>& s) {
    for (std::size_t i = 0; i + 10 <= s.size(); ++i) {
        if (s[i] != kFrameStart0 || s[i + 1] != kFrameStart1) continue;
        std::size_t word = (s[i + 2] | (s[i + 3] << 8)) % kRingSize;
        if (word < 4) continue;
        std::size_t end = i + word + 4;  // the 0xB0
        if (end + 1 >= s.size() || s[end] != kFrameEnd0 || s[end + 1] != kFrameEnd1) continue;
        std::uint32_t crc = CalcCrc32(static_cast<std::uint32_t>(word - 4), s.data() + i + 8);
        for (int k = 0; k < 4; ++k) s[i + 4 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
    }
}

class ReceiveHarness {
public:
    ReceiveHarness() : m_window(m_registry, m_commands, m_result), m_ring(&m_protocol) {
        m_protocol.m_registry = &m_registry;
        m_registry.m_window = &m_window;
        RegisterAll();
    }

    // Every command waits all the time, so any well-formed reply reaches its decoder.
    void RegisterAll() {
        for (CWingMsg* m : m_commands.All()) m_registry.Register(m);
    }

    // The reader thread's part: one chunk into the ring.
    void Append(const std::uint8_t* data, int n) {
        if (m_ring.AppendBytes(data, n) != 0) Fail("AppendBytes refused a chunk no longer than the ring");
        CheckIndices();
    }

    // The receive thread's part: passes until the ring is empty or a pass changes nothing.
    void Drain() {
        // Each productive pass consumes at least one byte or clears the wrap flag, so
        // a drain that runs longer than this is not making progress.
        constexpr int kMaxPasses = 4 * kRingSize;
        for (int pass = 0; !m_ring.IsRingEmpty(); ++pass) {
            if (pass == kMaxPasses) return Fail("receive passes never settle");
            int read = m_ring.m_read;
            bool wrap = m_ring.m_wrap;
            m_ring.ExtractFrame();
            CheckIndices();
            CheckFrame();
            int answers = m_result.answers;
            if (m_ring.m_current != nullptr && m_ring.m_frameLength > 0 && m_ring.m_frameLength <= kFrameBufferSize)
                m_ring.m_current->Parse(m_ring.m_frame, m_ring.m_frameLength);
            if (m_result.answers != answers) {
                RegisterAll();
                if (const char* f = CheckSerialText(m_commands.sn)) Fail(f);
            }
            if (m_ring.m_current == nullptr && m_ring.m_read == read && m_ring.m_wrap == wrap) return;
        }
    }

    DriveResult Run(const std::uint8_t* data, std::size_t size) {
        if (size < kReceiveHeader) return m_result;
        int start = StartPosition(data[0]);
        int chunk = (data[1] & 0x7F) + 1;
        bool vary = (data[1] & 0x80) != 0;
        int cadence = (data[2] & 0x03) + 1;
        std::vector<std::uint8_t> stream(data + kReceiveHeader, data + size);
        if (data[2] & 0x04) RepairChecksums(stream);

        if (start > 0) {
            // Stale bytes the receive thread discards leave both indices at start - 1.
            std::vector<std::uint8_t> filler(start, 0);
            Append(filler.data(), start);
            Drain();
            if (m_ring.m_read != start - 1 || m_ring.m_write != start - 1) Fail("filler not discarded");
        }

        std::uint32_t gen = 0x9E3779B9u ^ data[1];
        std::size_t at = 0;
        int sinceDrain = 0;
        while (at < stream.size() && m_result.failure == nullptr) {
            int n = chunk;
            if (vary) {
                gen = gen * 1664525u + 1013904223u;
                n = 1 + static_cast<int>((gen >> 16) % static_cast<std::uint32_t>(2 * chunk));
            }
            n = static_cast<int>(std::min<std::size_t>(n, stream.size() - at));
            if (m_ring.IsRingFull()) Drain();  // the reader does not read while the ring is full
            Append(stream.data() + at, n);
            at += n;
            if (++sinceDrain == cadence) {
                Drain();
                sinceDrain = 0;
            }
        }
        Drain();
        // The counts describe the stream; the probe below checks its own answer.
        DriveResult streamResult = m_result;
        if (cadence == 1 && m_result.failure == nullptr) CheckReplyAfterStream();
        streamResult.failure = m_result.failure;
        return streamResult;
    }

private:
    void Fail(const char* what) {
        if (m_result.failure == nullptr) m_result.failure = what;
    }

    void CheckIndices() {
        if (m_ring.m_read < -1 || m_ring.m_read >= kRingSize) Fail("read index out of range");
        if (m_ring.m_write < -1 || m_ring.m_write >= kRingSize) Fail("write index out of range");
    }

    void CheckFrame() {
        int n = m_ring.m_frameLength;
        if (n < 0 || n > kFrameBufferSize) return Fail("frame length out of range");
        if (m_ring.m_current == nullptr) {
            if (n != 0) Fail("frame length without a current protocol");
            return;
        }
        if (m_ring.m_current != &m_protocol) return Fail("current protocol is not the channel's");
        // Length words under 4 make frames shorter than 10 bytes; they are extracted and
        // then ignored by Parse, which is fine, but both markers must still be there.
        if (n < 4) return Fail("extracted frame shorter than its markers");
        const std::uint8_t* f = m_ring.m_frame;
        if (f[0] != kFrameStart0 || f[1] != kFrameStart1 || f[n - 2] != kFrameEnd0 || f[n - 1] != kFrameEnd1)
            Fail("extracted frame does not run from start marker to end marker");
    }

    // With a receive pass after every read, whatever the stream left behind is resolved
    // once enough plain bytes follow: every start marker then has all of its (at most
    // 256) bytes in the ring and is either taken or skipped. A reply that comes after
    // that must be answered; if it is not, the link would stay deaf until the port is
    // reopened.
    void CheckReplyAfterStream() {
        std::uint8_t plain[256] = {};
        for (int k = 0; k < 2; ++k) {
            Append(plain, sizeof plain);
            Drain();
        }
        // A Delete Log data reply: ids 3/2, type 2, eleven zero field bytes.
        std::vector<std::uint8_t> reply = {0xA0, 0xA2, 0x14, 0x00, 0, 0, 0, 0, 3, 0, 2, 0, 2};
        reply.resize(24, 0x00);
        std::uint32_t crc = CalcCrc32(16, reply.data() + 8);
        for (int k = 0; k < 4; ++k) reply[4 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
        reply.push_back(kFrameEnd0);
        reply.push_back(kFrameEnd1);
        int before = m_result.answers;
        Append(reply.data(), static_cast<int>(reply.size()));
        Drain();
        if (m_result.answers != before + 1) Fail("a reply after the stream and plain bytes is not answered");
    }

    DriveResult m_result;
    CommandSet m_commands;
    CWingProtocol m_protocol;
    CCmdRegistry m_registry;
    CheckingWindow m_window;
    ReceiveRing m_ring;
};

inline DriveResult DriveReceive(const std::uint8_t* data, std::size_t size) {
    ReceiveHarness harness;
    return harness.Run(data, size);
}

// ---- ApplyReply on every command ----------------------------------------------------

// Input layout: byte 0 picks the command (value mod 9, in the order of CommandSet::All),
// the rest is the reply body handed to ApplyReply.
inline DriveResult DriveApplyReply(const std::uint8_t* data, std::size_t size) {
    DriveResult result;
    if (size < 1) return result;
    auto fail = [&](const char* what) {
        if (result.failure == nullptr) result.failure = what;
        return result;
    };

    CommandSet commands;
    CWingMsg* m = commands.All()[data[0] % 9];
    const std::uint8_t* body = data + 1;
    auto n = static_cast<std::uint16_t>(std::min<std::size_t>(size - 1, 0xFFFF));
    std::uint8_t statusBefore = m->m_statusCode;
    const std::uint16_t idsBefore[2] = {m->m_cmdId, m->m_subId};

    bool ok = m->ApplyReply(body, n);
    // A body is an answer exactly when it has its layout's length: 16 bytes, and for a
    // data reply the command's extra data.
    const bool shaped = n >= 16 && n == 16u + (body[4] == kTypeDataReply ? m->ReplyExtraLength() : 0u);
    if (ok != shaped) return fail(ok ? "reply of the wrong length accepted" : "reply of its layout's length refused");
    if (!ok) {
        if (m->m_replyType != 0 || m->m_statusCode != statusBefore || m->m_cmdId != idsBefore[0] ||
            m->m_subId != idsBefore[1])
            return fail("a refused reply changed the command");
        return result;
    }
    if (m->m_cmdId != ReadU16(body) || m->m_subId != ReadU16(body + 2)) return fail("ids not taken from the body");
    if (m->m_replyType != body[4]) return fail("reply type not taken from the body");
    if (m->IsStatusReply() != (body[4] == kTypeStatusReply) || m->IsDataReply() != (body[4] == kTypeDataReply))
        return fail("reply-type predicates disagree with the type byte");
    std::uint8_t expectedStatus = body[4] == kTypeStatusReply ? body[5] : statusBefore;
    if (m->m_statusCode != expectedStatus) return fail("status code wrong after the reply");

    if (const char* f = CheckSerialText(commands.sn)) return fail(f);
    if (m == &commands.sn && body[4] == kTypeDataReply) {
        std::size_t len = std::strlen(commands.sn.m_text);
        if (len > CGetSN::kTextSize || len > commands.sn.m_textLength) return fail("serial-number text longer than its length field");
    }
    if (m == &commands.read && body[4] == kTypeDataReply &&
        std::memcmp(commands.read.m_page, body + 16, CReadLog::kPageSize) != 0)
        return fail("log page differs from the reply's extra data");
    if (m == &commands.version) {
        const wchar_t* text = commands.version.FormatVersion();
        std::size_t len = wcsnlen(text, std::size(commands.version.m_versionText));
        if (len >= std::size(commands.version.m_versionText)) return fail("version text not terminated");
        if (text[0] != L'V') return fail("version text malformed");
    }
    if (commands.status.m_battery > 63 || commands.status.m_recordMode > 3) return fail("status fields out of range");
    return result;
}

}  // namespace wing::fuzz
