#pragma once
// The PC end of the simulator's pseudo-terminal for tests: raw reads and writes and a
// plain frame cutter, independent of the simulator's own code.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/crc32.h"

namespace wing::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }
inline std::uint32_t U32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A request frame: body = ids, type 1, `params` from byte 5, 0xFF elsewhere.
inline Bytes Request(int command, int sub, const Bytes& params = {}, int type = 1) {
    Bytes body(16, 0xFF);
    body[0] = static_cast<std::uint8_t>(command);
    body[1] = static_cast<std::uint8_t>(command >> 8);
    body[2] = static_cast<std::uint8_t>(sub);
    body[3] = static_cast<std::uint8_t>(sub >> 8);
    body[4] = static_cast<std::uint8_t>(type);
    for (std::size_t i = 0; i < params.size() && 5 + i < 16; ++i) body[5 + i] = params[i];
    std::uint32_t crc = CalcCrc32(body.size(), body.data());
    Bytes frame = {0xA0, 0xA2, 0x14, 0x00};
    for (int i = 0; i < 4; ++i) frame.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(0xB0);
    frame.push_back(0xB3);
    return frame;
}

inline Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

struct Reply {
    Bytes frame;
    Bytes body;
    bool crcOk = false;
    int command() const { return U16(body, 0); }
    int sub() const { return U16(body, 2); }
    int type() const { return body[4]; }
    int code() const { return body[5]; }
};

class PtyClient {
public:
    explicit PtyClient(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::cfsetspeed(&tio, B115200);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~PtyClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool Write(const Bytes& bytes) {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Bytes until `timeoutMs` passes with none arriving, or `count` bytes have come.
    Bytes ReadFor(int timeoutMs, std::size_t count = SIZE_MAX) {
        Bytes out;
        while (out.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) break;
            std::uint8_t buf[512];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    // The next complete frame; bytes before its start marker are kept in `skipped`.
    std::optional<Reply> ReadFrame(int timeoutMs = 2000, Bytes* skipped = nullptr) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            std::size_t s = 0;
            while (s + 1 < m_buf.size() && !(m_buf[s] == 0xA0 && m_buf[s + 1] == 0xA2)) ++s;
            if (s + 1 < m_buf.size() && m_buf.size() >= s + 4) {
                std::size_t total = (U16(m_buf, s + 2) & 0x3FFF) + 6;
                if (m_buf.size() >= s + total) {
                    if (skipped) skipped->assign(m_buf.begin(), m_buf.begin() + s);
                    Reply r;
                    r.frame.assign(m_buf.begin() + s, m_buf.begin() + s + total);
                    m_buf.erase(m_buf.begin(), m_buf.begin() + s + total);
                    r.body.assign(r.frame.begin() + 8, r.frame.end() - 2);
                    r.crcOk = CalcCrc32(r.body.size(), r.body.data()) == U32(r.frame, 4);
                    return r;
                }
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            Bytes more = ReadFor(static_cast<int>(left.count()), 1);
            if (more.empty()) return std::nullopt;
            m_buf.insert(m_buf.end(), more.begin(), more.end());
        }
    }

    std::optional<Reply> Ask(const Bytes& request, int timeoutMs = 2000) {
        if (!Write(request)) return std::nullopt;
        return ReadFrame(timeoutMs);
    }

    // Sends the request and skips other frames until the answer to command.sub arrives.
    std::optional<Reply> AskFor(const Bytes& request, int command, int sub, int timeoutMs = 3000) {
        if (!Write(request)) return std::nullopt;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            auto r = ReadFrame(static_cast<int>(left.count()));
            if (!r) return std::nullopt;
            if (r->body.size() >= 5 && r->command() == command && r->sub() == sub) return r;
        }
    }

    const Bytes& Pending() const { return m_buf; }

private:
    int m_fd = -1;
    Bytes m_buf;
};

}  // namespace wing::sim::test
