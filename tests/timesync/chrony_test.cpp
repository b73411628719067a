// The SNTP client against a real NTP server: chronyd, started by the test on 127.0.0.1
// on a free port, serving this machine's own clock (which it never touches: -x).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "timesync/fake_clock.h"
#include "timesync/time_sync.h"
#include "timesync/wsocket.h"

extern char** environ;

namespace wing {
namespace {

namespace fs = std::filesystem;

const char* const kChronydCandidates[] = {"/usr/sbin/chronyd", "/sbin/chronyd", "/usr/local/sbin/chronyd"};

// A UDP port on 127.0.0.1 that nothing is bound to (the kernel's pick, released again).
std::uint16_t FreeUdpPort() {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(s);
    return ntohs(addr.sin_port);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Chronyd {
public:
    ~Chronyd() { Stop(); }

    // Starts chronyd in the foreground; false (with Why()) when it cannot be started.
    bool Start() {
        std::string binary;
        for (const char* c : kChronydCandidates) {
            if (::access(c, X_OK) == 0) {
                binary = c;
                break;
            }
        }
        if (binary.empty()) {
            m_why = "chronyd is not installed (Debian package chrony)";
            return false;
        }
        char dirTemplate[] = "/tmp/wing-chrony-XXXXXX";
        if (::mkdtemp(dirTemplate) == nullptr) {
            m_why = "no temporary directory";
            return false;
        }
        m_dir = dirTemplate;
        m_port = FreeUdpPort();
        const fs::path conf = m_dir / "chrony.conf";
        {
            std::ofstream out(conf);
            out << "local stratum 8\n"
                << "allow 127.0.0.1\n"
                << "port " << m_port << "\n"
                << "bindaddress 127.0.0.1\n"
                << "cmdport 0\n"
                << "bindcmdaddress /\n"
                << "driftfile " << (m_dir / "drift").string() << "\n"
                << "pidfile " << (m_dir / "chronyd.pid").string() << "\n";
        }
        m_log = m_dir / "chronyd.log";

        // -d: foreground, log to stderr; -x: never control the system clock; -4: IPv4 only.
        std::string confText = conf.string();
        const char* argv[] = {binary.c_str(), "-d", "-x", "-4", "-u", "root", "-f", confText.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        int rc = posix_spawn(&m_pid, binary.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            m_pid = -1;
            m_why = "posix_spawn " + binary + " failed: " + std::to_string(rc);
            return false;
        }
        return true;
    }

    // True while the daemon runs; once it has ended, Why() tells what it said.
    bool Running() {
        if (m_pid <= 0) return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_why = "chronyd exited at once (status " + std::to_string(status) + "):\n" + Log();
            return false;
        }
        return true;
    }

    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
            m_pid = -1;
        }
        if (!m_dir.empty()) {
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
            m_dir.clear();
        }
    }

    std::uint16_t Port() const { return m_port; }
    std::string Log() const { return ReadFile(m_log); }
    const std::string& Why() const { return m_why; }

private:
    pid_t m_pid = -1;
    fs::path m_dir;
    fs::path m_log;
    std::uint16_t m_port = 0;
    std::string m_why;
};

class RealNtpServer : public ::testing::Test {
protected:
    Chronyd chronyd;

    void SetUp() override {
        if (!chronyd.Start()) GTEST_SKIP() << "chronyd cannot be started: " << chronyd.Why();
        // Wait until it answers (it needs a moment to bind); it serves at once with
        // "local stratum 8".
        NtpSettings settings;
        settings.port = chronyd.Port();
        settings.replyTimeoutMs = 200;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!chronyd.Running()) GTEST_SKIP() << "chronyd cannot be started: " << chronyd.Why();
            try {
                NtpReply reply;
                QueryNtpServer(L"127.0.0.1", reply, settings);
                return;
            } catch (const CWSocketException&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        FAIL() << "chronyd runs but gave no valid reply within 15 s; its log:\n" << chronyd.Log();
    }
};

TEST_F(RealNtpServer, MeasuresAnOffsetWithin50msOfZero) {
    NtpSettings settings;
    settings.port = chronyd.Port();
    NtpReply reply;
    QueryNtpServer(L"127.0.0.1", reply, settings);
    EXPECT_LT(std::fabs(reply.offset), 0.050) << reply.offset;
    EXPECT_LE(reply.t1, reply.t4);
    EXPECT_LE(reply.t2, reply.t3);
}

TEST_F(RealNtpServer, SetsAClockThatIsTwoSecondsBehindToTheRightTime) {
    test::FakeClock clock(-2000);
    NtpSettings settings;
    settings.server = L"127.0.0.1";
    settings.port = chronyd.Port();
    settings.clock = &clock;
    settings.isConnected = [] { return true; };
    ASSERT_TRUE(SyncPcClock(settings)) << chronyd.Log();
    ASSERT_EQ(clock.Sets().size(), 1u);
    EXPECT_LT(std::llabs(clock.OffsetMs()), 50) << clock.OffsetMs();
}

}  // namespace
}  // namespace wing
