#pragma once
// UDP sockets, name lookup and the connectivity test, standing in for Windows Sockets
// and WinINet's InternetGetConnectedState. Nothing here throws: failures return false
// or -1 and leave a Windows Sockets error code for LastSocketError(), as
// WSAGetLastError() would (per thread).

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wing {

// Windows Sockets / Windows error codes that callers test for.
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;
constexpr int WSATYPE_NOT_FOUND = 10109;
constexpr int WSA_NOT_ENOUGH_MEMORY = 8;
constexpr int ERROR_GRACEFUL_DISCONNECT = 1226;

using SocketHandle = int;
constexpr SocketHandle INVALID_SOCKET_HANDLE = -1;

// One address of a lookup result (an addrinfo entry's address).
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family() const { return storage.ss_family; }
};

// The last socket failure on this thread, as a Windows Sockets code.
int LastSocketError();
void SetLastSocketError(int code);
// The Windows Sockets code for a POSIX errno value: the code of the same BSD socket
// error, or kUnmappedErrnoBase + errno for an error that Windows Sockets has no code for.
constexpr int kUnmappedErrnoBase = 20000;
int SocketErrorFromErrno(int err);
// The system's message text for a code that LastSocketError() can give.
std::wstring SocketErrorMessage(int code);

// True when a network interface other than loopback is up and has an address.
bool IsNetworkConnected();

// The first IPv4 address of a host as dotted text ("" when the lookup fails or finds
// none), like gethostbyname followed by inet_ntoa.
std::string ResolveHostIPv4(const std::string& host);

// Every address of (host, service) in the resolver's order, with zeroed hints (any
// family, any socket type). False (and the last error set) when the lookup fails.
bool LookupAddresses(const std::string& host, const std::string& service,
                     std::vector<SocketAddress>& out);

// A UDP IPv4 socket (socket(AF_INET, SOCK_DGRAM)); INVALID_SOCKET_HANDLE on failure.
SocketHandle OpenUdpSocket();
bool ConnectSocket(SocketHandle s, const SocketAddress& address);
// Bytes sent, or -1.
long SendOnSocket(SocketHandle s, const void* data, std::size_t size);
// 1 when readable, 0 when `timeoutMs` passed first, -1 on error (like select).
int WaitReadable(SocketHandle s, std::uint32_t timeoutMs);
// Bytes received (0 for an empty datagram), or -1.
long ReceiveFromSocket(SocketHandle s, void* buffer, std::size_t size);
void CloseSocket(SocketHandle s);

}  // namespace wing
