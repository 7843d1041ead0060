#include "tcpprobe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbra::platform {
namespace {

static_assert(sizeof(sockaddr_in6) <= sizeof(SocketAddress::bytes) &&
              sizeof(sockaddr_in) <= sizeof(SocketAddress::bytes));

std::optional<SocketAddress> lookUp(std::string host, std::uint16_t port, int flags)
{
    // A URL's host may keep the brackets of an IPv6 literal.
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
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
    if (address.length == 0) {
        m_state = HandshakeState::Failed;
        return m_state;
    }
    const int fd = ::socket(socketAddress->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_state = HandshakeState::Failed;
        return m_state;
    }
    m_socket = fd;
    // Closing then sends a reset: the node gets no half-open connection and we keep no TIME_WAIT.
    const linger abortive = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    if (::connect(fd, socketAddress, address.length) == 0)
        finish(HandshakeState::Answered);
    else if (errno == EINPROGRESS)
        m_state = HandshakeState::Pending;
    else
        finish(HandshakeState::Failed);
    return m_state;
}

void TcpHandshake::close()
{
    if (m_socket >= 0)
        ::close(static_cast<int>(m_socket));
    m_socket = -1;
    m_state = HandshakeState::Idle;
}

void TcpHandshake::finish(HandshakeState state)
{
    if (m_socket >= 0)
        ::close(static_cast<int>(m_socket));
    m_socket = -1;
    m_state = state;
}

HandshakeWaiter::HandshakeWaiter()
{
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_wakeRead = fd;
    m_wakeWrite = fd;
}

HandshakeWaiter::~HandshakeWaiter()
{
    if (m_wakeRead >= 0)
        ::close(static_cast<int>(m_wakeRead));
}

bool HandshakeWaiter::valid() const
{
    return m_wakeRead >= 0;
}

void HandshakeWaiter::wait(const std::vector<TcpHandshake *> &pending, int timeoutMs)
{
    std::vector<pollfd> fds;
    std::vector<TcpHandshake *> watched;
    fds.reserve(pending.size() + 1);
    watched.reserve(pending.size());
    if (m_wakeRead >= 0)
        fds.push_back({static_cast<int>(m_wakeRead), POLLIN, 0});
    for (TcpHandshake *handshake : pending) {
        if (handshake->m_state != HandshakeState::Pending || handshake->m_socket < 0)
            continue;
        fds.push_back({static_cast<int>(handshake->m_socket), POLLOUT, 0});
        watched.push_back(handshake);
    }
    if (::poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs) <= 0)
        return;
    std::size_t index = 0;
    if (m_wakeRead >= 0) {
        if (fds[0].revents & POLLIN) {
            eventfd_t count = 0;
            eventfd_read(static_cast<int>(m_wakeRead), &count);
        }
        index = 1;
    }
    for (TcpHandshake *handshake : watched) {
        const pollfd &entry = fds[index++];
        if (!(entry.revents & (POLLOUT | POLLERR | POLLHUP)))
            continue;
        int error = 0;
        socklen_t length = sizeof error;
        const bool read = getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0;
        handshake->finish(read && error == 0 ? HandshakeState::Answered : HandshakeState::Failed);
    }
}

void HandshakeWaiter::wake()
{
    if (m_wakeWrite >= 0)
        eventfd_write(static_cast<int>(m_wakeWrite), 1);
}

} // namespace nimbra::platform
