#include "timesync/wsocket.h"

#include <string>

#include "platform/text.h"

namespace wing {

CWSocketException::CWSocketException(int error)
    : m_error(error), m_what("socket error " + std::to_string(error) + ": " + ToUtf8(GetErrorMessage())) {}

std::wstring CWSocketException::GetErrorMessage() const { return SocketErrorMessage(m_error); }

CSocketAddr::CSocketAddr(const std::string& host, const std::string& service) {
    if (!LookupAddresses(host, service, m_addresses)) throw CWSocketException(LastSocketError());
}

void CWSocket::CreateDatagram() {
    Close();
    m_socket = OpenUdpSocket();
    if (m_socket == INVALID_SOCKET_HANDLE) throw CWSocketException(LastSocketError());
}

void CWSocket::Connect(const std::string& host, std::uint16_t port) {
    CSocketAddr lookup(host, std::to_string(port));
    int error = WSAHOST_NOT_FOUND;
    for (const SocketAddress& address : lookup.Addresses()) {
        if (ConnectSocket(m_socket, address)) return;
        error = LastSocketError();
    }
    throw CWSocketException(error);
}

void CWSocket::Send(const void* data, std::size_t size) {
    if (SendOnSocket(m_socket, data, size) < 0) throw CWSocketException(LastSocketError());
}

bool CWSocket::IsReadable(std::uint32_t timeoutMs) {
    int rc = WaitReadable(m_socket, timeoutMs);
    if (rc < 0) throw CWSocketException(LastSocketError());
    return rc > 0;
}

std::size_t CWSocket::Receive(void* buffer, std::size_t size) {
    long n = ReceiveFromSocket(m_socket, buffer, size);
    if (n < 0) throw CWSocketException(LastSocketError());
    return static_cast<std::size_t>(n);
}

void CWSocket::Close() {
    CloseSocket(m_socket);
    m_socket = INVALID_SOCKET_HANDLE;
}

}  // namespace wing
