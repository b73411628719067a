// The socket layer and the platform's network stand-ins.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/net.h"
#include "platform/text.h"
#include "timesync/fake_ntp_server.h"
#include "timesync/time_sync.h"
#include "timesync/wsocket.h"

namespace wing {
namespace {

using test::Datagram;
using test::FakeNtpServer;

const std::string kUnresolvableHost = std::string(64, 'x') + ".invalid";  // refused without a query

TEST(SocketErrors, PosixErrorsBecomeWindowsSocketsCodes) {
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(EINTR), 10004);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
    // An errno without a Windows Sockets code keeps clear of their range.
    EXPECT_EQ(SocketErrorFromErrno(ENOSTR), kUnmappedErrnoBase + ENOSTR);
    EXPECT_EQ(SocketErrorMessage(kUnmappedErrnoBase + ENOSTR), FromLocale8(std::strerror(ENOSTR)));
    EXPECT_EQ(SocketErrorMessage(10060), FromLocale8(std::strerror(ETIMEDOUT)));
}

TEST(SocketErrors, TheLastErrorBelongsToTheThread) {
    SetLastSocketError(10060);
    std::thread([] {
        EXPECT_EQ(LastSocketError(), 0);
        SetLastSocketError(1226);
    }).join();
    EXPECT_EQ(LastSocketError(), 10060);
}

TEST(SocketErrors, ExceptionCarriesTheCodeAndTheSystemsText) {
    CWSocketException e(10060);
    EXPECT_EQ(e.GetErrorCode(), 10060);
    EXPECT_FALSE(e.GetErrorMessage().empty());
    EXPECT_NE(std::string(e.what()).find("10060"), std::string::npos);
    EXPECT_EQ(CWSocketException(1226).GetErrorMessage(), L"The network connection was gracefully closed.");
    EXPECT_EQ(CWSocketException(54321).GetErrorMessage(), L"Unknown error 54321");
}

TEST(NameLookup, LocalNamesResolveToDottedText) {
    EXPECT_EQ(ResolveHostIPv4("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ResolveHostIPv4("localhost"), "127.0.0.1");
    EXPECT_EQ(ResolveServerAddress(L"localhost"), L"127.0.0.1");
}

TEST(NameLookup, AnUnresolvableNameGivesNoText) {
    EXPECT_EQ(ResolveHostIPv4(kUnresolvableHost), "");
    EXPECT_EQ(LastSocketError(), WSAHOST_NOT_FOUND);
    EXPECT_EQ(ResolveHostIPv4(""), "");
}

TEST(NameLookup, AddressListHasEveryEntryInOrder) {
    std::vector<SocketAddress> list;
    ASSERT_TRUE(LookupAddresses("127.0.0.1", "123", list));
    ASSERT_FALSE(list.empty());
    for (const SocketAddress& a : list) {
        ASSERT_EQ(a.family(), AF_INET);
        const auto* in = reinterpret_cast<const sockaddr_in*>(&a.storage);
        EXPECT_EQ(ntohs(in->sin_port), 123);
        EXPECT_EQ(ntohl(in->sin_addr.s_addr), INADDR_LOOPBACK);
    }
    try {
        CSocketAddr lookup(kUnresolvableHost, "123");
        ADD_FAILURE() << "no exception";
    } catch (const CWSocketException& e) {
        EXPECT_EQ(e.GetErrorCode(), WSAHOST_NOT_FOUND);
    }
}

TEST(WSocket, ExchangesADatagramOverLoopback) {
    FakeNtpServer echo([](const Datagram& request) { return std::vector<Datagram>{request}; });
    CWSocket s;
    EXPECT_FALSE(s.IsCreated());
    s.CreateDatagram();
    EXPECT_TRUE(s.IsCreated());
    s.Connect("127.0.0.1", echo.Port());
    EXPECT_FALSE(s.IsReadable(0));
    const char text[] = "ping";
    s.Send(text, 4);
    ASSERT_TRUE(s.IsReadable(2000));
    char buffer[16] = {};
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "ping");
    s.Close();
    EXPECT_FALSE(s.IsCreated());
}

TEST(WSocket, WaitsTheWholeTimeOutWhenNothingComes) {
    FakeNtpServer silent([](const Datagram&) { return std::vector<Datagram>{}; });
    CWSocket s;
    s.CreateDatagram();
    s.Connect("127.0.0.1", silent.Port());
    s.Send("x", 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(s.IsReadable(150));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(149));
}

TEST(WSocket, FailuresThrow) {
    CWSocket s;
    EXPECT_THROW(s.Send("x", 1), CWSocketException);  // no socket
    s.CreateDatagram();
    EXPECT_THROW(s.Connect(kUnresolvableHost, 123), CWSocketException);
}

// Connectivity is judged in a network namespace of a thread of the test's own, where
// the test decides which interfaces exist; nothing there can reach another machine.

bool SetFlags(const char* name, short flags) {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq req{};
    std::strncpy(req.ifr_name, name, IFNAMSIZ - 1);
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &req) == 0;
    req.ifr_flags = static_cast<short>(req.ifr_flags | flags);
    ok = ok && ::ioctl(s, SIOCSIFFLAGS, &req) == 0;
    ::close(s);
    return ok;
}

bool SetAddress(const char* name, const char* dotted) {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq req{};
    std::strncpy(req.ifr_name, name, IFNAMSIZ - 1);
    auto* in = reinterpret_cast<sockaddr_in*>(&req.ifr_addr);
    in->sin_family = AF_INET;
    inet_pton(AF_INET, dotted, &in->sin_addr);
    bool ok = ::ioctl(s, SIOCSIFADDR, &req) == 0;
    ::close(s);
    return ok;
}

TEST(Connectivity, OnlyAnInterfaceOtherThanLoopbackThatIsUpWithAnAddressCounts) {
    std::string skip;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            skip = std::string("no network namespace: ") + std::strerror(errno);
            return;
        }
        EXPECT_FALSE(IsNetworkConnected()) << "loopback only, down";
        ASSERT_TRUE(SetFlags("lo", IFF_UP));
        EXPECT_FALSE(IsNetworkConnected()) << "loopback only, up";

        int tun = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
        if (tun < 0) {
            skip = std::string("no /dev/net/tun: ") + std::strerror(errno);
            return;
        }
        ifreq req{};
        std::strncpy(req.ifr_name, "wingtest0", IFNAMSIZ - 1);
        req.ifr_flags = IFF_TUN | IFF_NO_PI;
        if (::ioctl(tun, TUNSETIFF, &req) != 0) {
            skip = std::string("no tun device: ") + std::strerror(errno);
            ::close(tun);
            return;
        }
        EXPECT_FALSE(IsNetworkConnected()) << "second interface down, no address";
        ASSERT_TRUE(SetFlags("wingtest0", IFF_UP));
        EXPECT_FALSE(IsNetworkConnected()) << "second interface up, no address";
        ASSERT_TRUE(SetAddress("wingtest0", "198.51.100.7"));  // a documentation address
        EXPECT_TRUE(IsNetworkConnected()) << "second interface up with an address";
        ::close(tun);
    }).join();
    if (!skip.empty()) GTEST_SKIP() << skip;
}

}  // namespace
}  // namespace wing
