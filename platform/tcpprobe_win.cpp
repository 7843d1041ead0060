#include "tcpprobe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace nimbra::platform {
namespace {

static_assert(sizeof(sockaddr_in6) <= sizeof(SocketAddress::bytes) &&
              sizeof(sockaddr_in) <= sizeof(SocketAddress::bytes));

// Winsock is started once for the process and left running: other code (Qt's network module) keeps
// its own count, and a cleanup at exit would race with it.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data = {};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET asSocket(std::intptr_t value)
{
    return static_cast<SOCKET>(value);
}

// A socket made without inheritance, so that the core and other children never hold a probe open.
SOCKET openSocket(int family, int type, int protocol)
{
    return WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

bool makeNonBlocking(SOCKET socket)
{
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

std::optional<SocketAddress> lookUp(std::string host, std::uint16_t port, int flags)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty() || !winsockStarted())
        return std::nullopt;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<SocketAddress> address;
    for (const addrinfo *entry = found; entry && !address; entry = entry->ai_next) {
        if ((entry->ai_family != AF_INET && entry->ai_family != AF_INET6) ||
            entry->ai_addrlen > sizeof(SocketAddress::bytes))
            continue;
        address.emplace();
        std::memcpy(address->bytes.data(), entry->ai_addr, entry->ai_addrlen);
        address->length = static_cast<std::uint32_t>(entry->ai_addrlen);
    }
    freeaddrinfo(found);
    return address;
}

} // namespace

std::optional<SocketAddress> numericSocketAddress(const std::string &host, std::uint16_t port)
{
    return lookUp(host, port, AI_NUMERICHOST);
}

std::optional<SocketAddress> resolveSocketAddress(const std::string &host, std::uint16_t port)
{
    if (std::optional<SocketAddress> numeric = numericSocketAddress(host, port))
        return numeric;
    return lookUp(host, port, 0);
}

TcpHandshake::~TcpHandshake()
{
    close();
}

HandshakeState TcpHandshake::begin(const SocketAddress &address)
{
    close();
    const auto *socketAddress = reinterpret_cast<const sockaddr *>(address.bytes.data());
    if (address.length == 0 || !winsockStarted()) {
        m_state = HandshakeState::Failed;
        return m_state;
    }
    const SOCKET socket = openSocket(socketAddress->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        m_state = HandshakeState::Failed;
        return m_state;
    }
    m_socket = static_cast<std::intptr_t>(socket);
    // Closing then sends a reset: the node gets no half-open connection and we keep no TIME_WAIT.
    const linger abortive = {1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abortive), sizeof abortive);
    if (!makeNonBlocking(socket)) {
        finish(HandshakeState::Failed);
        return m_state;
    }
    if (::connect(socket, socketAddress, static_cast<int>(address.length)) == 0)
        finish(HandshakeState::Answered);
    else if (WSAGetLastError() == WSAEWOULDBLOCK)
        m_state = HandshakeState::Pending;
    else
        finish(HandshakeState::Failed);
    return m_state;
}

void TcpHandshake::close()
{
    if (m_socket != -1)
        closesocket(asSocket(m_socket));
    m_socket = -1;
    m_state = HandshakeState::Idle;
}

void TcpHandshake::finish(HandshakeState state)
{
    if (m_socket != -1)
        closesocket(asSocket(m_socket));
    m_socket = -1;
    m_state = state;
}

// The wake-up channel is a UDP socket on loopback connected to itself: select() waits on sockets only.
HandshakeWaiter::HandshakeWaiter()
{
    if (!winsockStarted())
        return;
    const SOCKET socket = openSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET)
        return;
    sockaddr_in self = {};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    if (!makeNonBlocking(socket) || bind(socket, reinterpret_cast<const sockaddr *>(&self), length) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr *>(&self), &length) != 0 ||
        ::connect(socket, reinterpret_cast<const sockaddr *>(&self), length) != 0) {
        closesocket(socket);
        return;
    }
    m_wakeRead = static_cast<std::intptr_t>(socket);
    m_wakeWrite = m_wakeRead;
}

HandshakeWaiter::~HandshakeWaiter()
{
    if (m_wakeRead != -1)
        closesocket(asSocket(m_wakeRead));
}

bool HandshakeWaiter::valid() const
{
    return m_wakeRead != -1;
}

void HandshakeWaiter::wait(const std::vector<TcpHandshake *> &pending, int timeoutMs)
{
    // select(), not WSAPoll: WSAPoll never reports a refused connect on older Windows 10 releases.
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    std::vector<TcpHandshake *> watched;
    if (m_wakeRead != -1)
        FD_SET(asSocket(m_wakeRead), &readable);
    for (TcpHandshake *handshake : pending) {
        if (handshake->m_state != HandshakeState::Pending || handshake->m_socket == -1 ||
            watched.size() >= 60)
            continue;
        FD_SET(asSocket(handshake->m_socket), &writable);
        FD_SET(asSocket(handshake->m_socket), &failed);
        watched.push_back(handshake);
    }
    if (m_wakeRead == -1 && watched.empty()) {
        // select() refuses empty sets.
        Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        return;
    }
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &readable, &writable, &failed, timeoutMs < 0 ? nullptr : &limit) <= 0)
        return;
    if (m_wakeRead != -1 && FD_ISSET(asSocket(m_wakeRead), &readable)) {
        char drain[16];
        while (recv(asSocket(m_wakeRead), drain, sizeof drain, 0) > 0) {
        }
    }
    for (TcpHandshake *handshake : watched) {
        const SOCKET socket = asSocket(handshake->m_socket);
        if (FD_ISSET(socket, &failed))
            handshake->finish(HandshakeState::Failed);
        else if (FD_ISSET(socket, &writable))
            handshake->finish(HandshakeState::Answered);
    }
}

void HandshakeWaiter::wake()
{
    if (m_wakeWrite != -1) {
        const char byte = 1;
        send(asSocket(m_wakeWrite), &byte, 1, 0);
    }
}

} // namespace nimbra::platform
