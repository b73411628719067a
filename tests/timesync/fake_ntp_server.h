#pragma once
// A UDP server on 127.0.0.1 for exchange tests: each datagram it receives is handed to
// the test's handler, and every datagram the handler returns is sent back to the sender.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "timesync/ntp_time.h"
#include "timesync/time_sync.h"

namespace wing::test {

using Datagram = std::vector<std::uint8_t>;

class FakeNtpServer {
public:
    using Handler = std::function<std::vector<Datagram>(const Datagram& request)>;

    explicit FakeNtpServer(Handler handler) : m_handler(std::move(handler)) {
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0) throw std::runtime_error("socket");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ::close(m_socket);
            throw std::runtime_error("bind");
        }
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
    }

    ~FakeNtpServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }

    FakeNtpServer(const FakeNtpServer&) = delete;
    FakeNtpServer& operator=(const FakeNtpServer&) = delete;

    std::uint16_t Port() const { return m_port; }

    std::vector<Datagram> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Run() {
        while (!m_stop) {
            pollfd p{m_socket, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            std::uint8_t buffer[1024];
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            ssize_t n = ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &len);
            if (n < 0) continue;
            Datagram request(buffer, buffer + n);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            for (const Datagram& reply : m_handler(request)) {
                ::sendto(m_socket, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&peer), len);
            }
        }
    }

    Handler m_handler;
    int m_socket = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Datagram> m_requests;
    std::thread m_thread;
};

inline void PutNtpTimestamp(Datagram& packet, std::size_t at, NtpTimestamp t) {
    for (int i = 0; i < 8; ++i) packet[at + i] = static_cast<std::uint8_t>(t >> (56 - 8 * i));
}

// A well-formed server reply (version 3, mode 4, stratum 2) to `request` from a server
// whose clock is `aheadSeconds` ahead of the client's, with no network delay.
inline Datagram ServerReply(const Datagram& request, double aheadSeconds) {
    Datagram reply(48, 0);
    reply[0] = 0x1C;
    reply[1] = 2;
    reply[2] = 6;      // poll
    reply[3] = 0xEC;   // precision
    const NtpTimestamp t1 = request.size() >= 48 ? ReadNtpTimestamp(request.data(), 40) : 0;
    const NtpTimestamp serverTime = AddSeconds(t1, aheadSeconds);
    PutNtpTimestamp(reply, 16, serverTime);  // reference time
    PutNtpTimestamp(reply, 24, t1);
    PutNtpTimestamp(reply, 32, serverTime);
    PutNtpTimestamp(reply, 40, serverTime);
    return reply;
}

}  // namespace wing::test
