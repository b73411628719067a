#include "platform/net.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/text.h"

namespace wing {

namespace {

thread_local int t_lastSocketError = 0;

struct ErrnoCode {
    int err;
    int code;
};

// The BSD socket errors keep their BSD numbers in Windows Sockets (10000 + n); Linux
// numbers them differently, so they are mapped one by one.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},       {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},       {EWOULDBLOCK, 10035},  {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {EOPNOTSUPP, 10045},   {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},  {ENETRESET, 10052},    {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},      {EISCONN, 10056},      {ENOTCONN, 10057},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061}, {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    {ENOMEM, WSA_NOT_ENOUGH_MEMORY},
};

int CodeFromLookupError(int rc) {
    switch (rc) {
        case EAI_NONAME: return WSAHOST_NOT_FOUND;
        case EAI_AGAIN: return WSATRY_AGAIN;
        case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
        case EAI_NODATA: return WSANO_DATA;
#endif
        case EAI_SERVICE: return WSATYPE_NOT_FOUND;
        case EAI_FAMILY: return WSAEAFNOSUPPORT;
        case EAI_MEMORY: return WSA_NOT_ENOUGH_MEMORY;
        case EAI_SYSTEM: return SocketErrorFromErrno(errno);
        default: return WSANO_RECOVERY;
    }
}

void SetErrorFromErrno() { t_lastSocketError = SocketErrorFromErrno(errno); }

bool IsLinkLocal6(const sockaddr* a) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a);
    return IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr);
}

}  // namespace

int LastSocketError() { return t_lastSocketError; }

void SetLastSocketError(int code) { t_lastSocketError = code; }

int SocketErrorFromErrno(int err) {
    for (const auto& e : kErrnoCodes) {
        if (e.err == err) return e.code;
    }
    return err == 0 ? 0 : kUnmappedErrnoBase + err;
}

std::wstring SocketErrorMessage(int code) {
    switch (code) {
        case ERROR_GRACEFUL_DISCONNECT: return L"The network connection was gracefully closed.";
        case WSAHOST_NOT_FOUND: return L"No such host is known.";
        case WSATRY_AGAIN: return L"This is usually a temporary error during hostname resolution.";
        case WSANO_RECOVERY: return L"A non-recoverable error occurred during a database lookup.";
        case WSANO_DATA: return L"The requested name is valid, but no data of the requested type was found.";
        case WSATYPE_NOT_FOUND: return L"The specified class was not found.";
        default: break;
    }
    int err = 0;
    for (const auto& e : kErrnoCodes) {
        if (e.code == code) err = e.err;
    }
    if (err == 0 && code > kUnmappedErrnoBase && code < kUnmappedErrnoBase + 4096) err = code - kUnmappedErrnoBase;
    if (err == 0) return L"Unknown error " + std::to_wstring(code);
    char buffer[256];
    // GNU strerror_r returns the text (not necessarily in buffer).
    return FromLocale8(strerror_r(err, buffer, sizeof buffer));
}

bool IsNetworkConnected() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool connected = false;
    for (ifaddrs* i = list; i != nullptr && !connected; i = i->ifa_next) {
        if (i->ifa_addr == nullptr) continue;
        if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
        int family = i->ifa_addr->sa_family;
        connected = family == AF_INET || (family == AF_INET6 && !IsLinkLocal6(i->ifa_addr));
    }
    freeifaddrs(list);
    return connected;
}

std::string ResolveHostIPv4(const std::string& host) {
    if (host.empty()) return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0) {
        t_lastSocketError = CodeFromLookupError(rc);
        return {};
    }
    std::string text;
    for (addrinfo* a = result; a != nullptr && text.empty(); a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        char buffer[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, buffer, sizeof buffer) != nullptr) text = buffer;
    }
    freeaddrinfo(result);
    return text;
}

bool LookupAddresses(const std::string& host, const std::string& service,
                     std::vector<SocketAddress>& out) {
    out.clear();
    addrinfo hints{};
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
    if (rc != 0) {
        t_lastSocketError = CodeFromLookupError(rc);
        return false;
    }
    for (addrinfo* a = result; a != nullptr; a = a->ai_next) {
        if (a->ai_addr == nullptr || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        out.push_back(address);
    }
    freeaddrinfo(result);
    return true;
}

SocketHandle OpenUdpSocket() {
    SocketHandle s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        SetErrorFromErrno();
        return INVALID_SOCKET_HANDLE;
    }
    return s;
}

bool ConnectSocket(SocketHandle s, const SocketAddress& address) {
    int rc;
    do {
        rc = ::connect(s, reinterpret_cast<const sockaddr*>(&address.storage), address.length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        SetErrorFromErrno();
        return false;
    }
    return true;
}

long SendOnSocket(SocketHandle s, const void* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::send(s, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) SetErrorFromErrno();
    return static_cast<long>(n);
}

int WaitReadable(SocketHandle s, std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{s, POLLIN, 0};
        int rc = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (rc > 0) return 1;  // readable, or an error that recv will report
        if (rc == 0) return 0;
        if (errno != EINTR) {
            SetErrorFromErrno();
            return -1;
        }
    }
}

long ReceiveFromSocket(SocketHandle s, void* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(s, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) SetErrorFromErrno();
    return static_cast<long>(n);
}

void CloseSocket(SocketHandle s) {
    if (s != INVALID_SOCKET_HANDLE) ::close(s);
}

}  // namespace wing
