#include "platform/serial_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cwctype>

#include "platform/device_map.h"
#include "platform/text.h"

namespace wing {
namespace {

struct BaudEntry {
    std::uint32_t rate;
    speed_t speed;
};

constexpr BaudEntry kBauds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},   {9600, B9600},
                                {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
                                {230400, B230400}, {460800, B460800}, {921600, B921600}};

bool ToSpeed(std::uint32_t rate, speed_t& speed) {
    for (const auto& b : kBauds)
        if (b.rate == rate) {
            speed = b.speed;
            return true;
        }
    return false;
}

std::uint32_t FromSpeed(speed_t speed) {
    for (const auto& b : kBauds)
        if (b.speed == speed) return b.rate;
    return 0;
}

// Zero time-outs mean "wait as long as it takes", as on Windows.
int PollBudget(bool forever, std::chrono::steady_clock::time_point deadline);

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int PollBudget(bool forever, std::chrono::steady_clock::time_point deadline) {
    return forever ? -1 : RemainingMs(deadline);
}

}  // namespace

int ComNumberFromDeviceName(const std::wstring& name) {
    const std::wstring prefix = L"\\\\.\\COM";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
    long long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (!std::iswdigit(name[i])) return 0;
        n = n * 10 + (name[i] - L'0');
        if (n > 1000000) return 0;
    }
    return static_cast<int>(n);
}

SerialDevice::~SerialDevice() { Close(); }

bool SerialDevice::Open(const std::wstring& name) {
    Close();
    std::string node;
    if (int com = ComNumberFromDeviceName(name); com > 0) {
        node = ResolveComPort(com);
    } else if (!name.empty() && name[0] == L'/') {
        node = ToUtf8(name);
    }
    if (node.empty()) return false;

    // Non-blocking so that opening never waits for modem lines; reads and writes use poll.
    int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // TIOCEXCL keeps other users' programs out, but not root's; the advisory lock keeps
    // a second program of ours (a window and a command line) off a port in use, for root too.
    if (!::isatty(fd) || ::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // Raw from the start: no echo, no line editing, no translation of CR or LF.
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    m_fd = fd;
    return true;
}

bool SerialDevice::IsOpen() const { return m_fd >= 0; }

void SerialDevice::Close() {
    if (m_fd >= 0) {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool SerialDevice::SetupComm(std::uint32_t, std::uint32_t) { return m_fd >= 0; }

bool SerialDevice::GetState(SerialSettings& s) const {
    termios tio{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0) return false;
    s.baudRate = FromSpeed(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
    case CS5: s.byteSize = 5; break;
    case CS6: s.byteSize = 6; break;
    case CS7: s.byteSize = 7; break;
    default: s.byteSize = 8; break;
    }
    s.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool SerialDevice::SetState(const SerialSettings& s) {
    termios tio{};
    speed_t speed;
    if (m_fd < 0 || !ToSpeed(s.baudRate, speed) || ::tcgetattr(m_fd, &tio) != 0) return false;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    switch (s.byteSize) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    case 8: tio.c_cflag |= CS8; break;
    default: return false;
    }
    if (s.parity == 1) tio.c_cflag |= PARENB | PARODD;
    if (s.parity == 2) tio.c_cflag |= PARENB;
    if (s.stopBits == 2) tio.c_cflag |= CSTOPB;
    return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

bool SerialDevice::GetTimeouts(SerialTimeouts& t) const {
    if (m_fd < 0) return false;
    t = m_timeouts;
    return true;
}

bool SerialDevice::SetTimeouts(const SerialTimeouts& t) {
    if (m_fd < 0) return false;
    m_timeouts = t;
    return true;
}

bool SerialDevice::Purge() { return m_fd >= 0 && ::tcflush(m_fd, TCIOFLUSH) == 0; }

bool SerialDevice::PurgeInput() { return m_fd >= 0 && ::tcflush(m_fd, TCIFLUSH) == 0; }

bool SerialDevice::BytesWaiting(std::uint32_t& count) {
    count = 0;
    if (m_fd < 0) return false;
    int n = 0;
    // After a hang-up FIONREAD may fail or report 0; either way nothing is waiting, so
    // the reader sleeps its pass instead of spinning on reads that return EIO.
    if (::ioctl(m_fd, FIONREAD, &n) == 0 && n > 0) count = static_cast<std::uint32_t>(n);
    return true;
}

bool SerialDevice::Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) {
    got = 0;
    if (m_fd < 0) return false;
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(m_timeouts.readTotalConstant +
                                              m_timeouts.readTotalMultiplier * length);
    while (got < length) {
        ssize_t n = ::read(m_fd, buffer + got, length - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return got > 0;  // hung up: what came is kept
        if (n == 0) break;
        bool forever = m_timeouts.readInterval == 0 && m_timeouts.readTotalMultiplier == 0 &&
                       m_timeouts.readTotalConstant == 0;
        int wait = PollBudget(forever, deadline);
        if (wait == 0) break;
        pollfd p{m_fd, POLLIN, 0};
        int r = ::poll(&p, 1, wait);
        if (r <= 0 || (p.revents & (POLLHUP | POLLERR)) != 0) break;
    }
    return true;
}

bool SerialDevice::Write(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written) {
    written = 0;
    if (m_fd < 0) return false;
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(m_timeouts.writeTotalConstant +
                                              m_timeouts.writeTotalMultiplier * length);
    while (written < length) {
        ssize_t n = ::write(m_fd, data + written, length - written);
        if (n > 0) {
            written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        bool forever = m_timeouts.writeTotalMultiplier == 0 && m_timeouts.writeTotalConstant == 0;
        int wait = PollBudget(forever, deadline);
        if (wait == 0) return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, wait) <= 0 || (p.revents & (POLLHUP | POLLERR)) != 0) return false;
    }
    return true;
}

std::optional<std::chrono::milliseconds> PortAge(int comNumber) {
    const std::string node = ResolveComPort(comNumber);
    struct stat st {};
    if (node.empty() || ::stat(node.c_str(), &st) != 0) return std::nullopt;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto age = std::chrono::seconds(now.tv_sec - st.st_ctim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - st.st_ctim.tv_nsec);
    return std::chrono::duration_cast<std::chrono::milliseconds>(age);
}

}  // namespace wing
