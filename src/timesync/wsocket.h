#pragma once
// The small socket layer of the SNTP client. Unlike the rest of the system it reports
// failures by throwing CWSocketException; its only caller, SyncPcClock, catches them.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/net.h"

namespace wing {

// A failed socket operation, with its Windows Sockets (or Windows) error code.
class CWSocketException : public std::exception {
public:
    explicit CWSocketException(int error);

    int GetErrorCode() const { return m_error; }
    // The system's message text for the code.
    std::wstring GetErrorMessage() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_error;
    std::string m_what;
};

// The address list of (host, service), any family and any socket type.
class CSocketAddr {
public:
    // Throws with the lookup's error when the lookup fails.
    CSocketAddr(const std::string& host, const std::string& service);

    const std::vector<SocketAddress>& Addresses() const { return m_addresses; }

private:
    std::vector<SocketAddress> m_addresses;
};

// A socket handle that closes itself.
class CWSocket {
public:
    CWSocket() = default;
    ~CWSocket() { Close(); }
    CWSocket(const CWSocket&) = delete;
    CWSocket& operator=(const CWSocket&) = delete;

    // A UDP IPv4 socket.
    void CreateDatagram();
    // Connects to the first address of (host, port) that accepts, trying them in order;
    // throws with the error of the last attempt when none does.
    void Connect(const std::string& host, std::uint16_t port);
    void Send(const void* data, std::size_t size);
    // True when data (or an error) is waiting, false when `timeoutMs` passed first.
    bool IsReadable(std::uint32_t timeoutMs);
    // Bytes received; 0 for an empty datagram.
    std::size_t Receive(void* buffer, std::size_t size);
    void Close();

    bool IsCreated() const { return m_socket != INVALID_SOCKET_HANDLE; }

private:
    SocketHandle m_socket = INVALID_SOCKET_HANDLE;
};

}  // namespace wing
