#pragma once
// A bare device on a pseudo-terminal for channel tests: it registers its slave side as
// a COM port and answers each request frame with what the test's handler returns.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_map.h"

namespace wing::test {

class PtyPeer {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Gets each request frame; returns the bytes to write back (empty: stay silent).
    using Handler = std::function<Bytes(const Bytes& request)>;

    explicit PtyPeer(int comNumber) : m_com(comNumber) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(m_master);
        ::unlockpt(m_master);
        termios tio{};
        ::tcgetattr(m_master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
        m_slave = ::ptsname(m_master);
        RegisterSimulatedPort(m_com, m_slave);
    }
    ~PtyPeer() {
        Stop();
        HangUp();
        UnregisterSimulatedPort(m_com);
    }

    void Start(Handler handler) {
        m_handler = std::move(handler);
        m_running = true;
        m_thread = std::thread([this] { Run(); });
    }
    void Stop() {
        m_running = false;
        if (m_thread.joinable()) m_thread.join();
    }
    // Closes the master side: the channel's side sees a hang-up.
    void HangUp() {
        Stop();
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    void Write(const Bytes& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            ssize_t n = ::write(m_master, bytes.data() + at, bytes.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
    }
    std::vector<Bytes> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    const std::string& SlavePath() const { return m_slave; }

private:
    void Run() {
        Bytes pending;
        while (m_running) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            std::uint8_t buf[512];
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) continue;
            pending.insert(pending.end(), buf, buf + n);
            // Requests are always 26 bytes; resynchronise on the start marker.
            while (pending.size() >= 26) {
                if (pending[0] != 0xA0 || pending[1] != 0xA2) {
                    pending.erase(pending.begin());
                    continue;
                }
                Bytes request(pending.begin(), pending.begin() + 26);
                pending.erase(pending.begin(), pending.begin() + 26);
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_requests.push_back(request);
                }
                Bytes reply = m_handler ? m_handler(request) : Bytes{};
                if (!reply.empty()) Write(reply);
            }
        }
    }

    int m_com;
    int m_master = -1;
    std::string m_slave;
    Handler m_handler;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_requests;
};

}  // namespace wing::test
