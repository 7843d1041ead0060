#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// TCP handshakes begun without blocking, for measuring a node's round trip: connect, wait for the
// system to report the handshake's end, close. Neither system needs a privilege for it (no ICMP).
namespace nimbra::platform {

// An IPv4 or IPv6 socket address in the system's own layout (sockaddr_in or sockaddr_in6).
struct SocketAddress
{
    std::array<unsigned char, 28> bytes = {};
    std::uint32_t length = 0; // 0: no address
};

// A numeric IPv4 or IPv6 address with the port; nullopt for anything else (no lookup is made).
std::optional<SocketAddress> numericSocketAddress(const std::string &host, std::uint16_t port);

// Numeric addresses as they are, host names through the system's resolver (getaddrinfo, which blocks:
// call it off the interface's thread). The first address found; nullopt when the name does not resolve.
std::optional<SocketAddress> resolveSocketAddress(const std::string &host, std::uint16_t port);

enum class HandshakeState
{
    Idle,     // not begun, or closed
    Pending,  // the SYN is out, no answer yet
    Answered, // the handshake completed
    Failed,   // refused, unreachable, or the socket could not be made
};

// One handshake. Its socket is closed with a reset (no TIME_WAIT left behind) as soon as the handshake
// has ended, on close() or in the destructor, whichever comes first.
class TcpHandshake
{
public:
    TcpHandshake() = default;
    ~TcpHandshake();
    TcpHandshake(const TcpHandshake &) = delete;
    TcpHandshake &operator=(const TcpHandshake &) = delete;

    // Begins the handshake. Answered or Failed when the system decided at once, Pending otherwise.
    HandshakeState begin(const SocketAddress &address);
    HandshakeState state() const { return m_state; }
    // Gives up a pending handshake (a time-out) and closes the socket; the state becomes Idle.
    void close();

private:
    friend class HandshakeWaiter;
    void finish(HandshakeState state);

    std::intptr_t m_socket = -1; // SOCKET on Windows, a descriptor on Linux
    HandshakeState m_state = HandshakeState::Idle;
};

// Waits for pending handshakes to end, or for a wake-up from another thread.
class HandshakeWaiter
{
public:
    HandshakeWaiter();
    ~HandshakeWaiter();
    HandshakeWaiter(const HandshakeWaiter &) = delete;
    HandshakeWaiter &operator=(const HandshakeWaiter &) = delete;

    // False when the wake-up channel could not be made; wait() then only sleeps out its time.
    bool valid() const;
    // Blocks up to timeoutMs (negative: until something happens) until one of the pending handshakes
    // ends or wake() is called; every handshake that ended is moved to Answered or Failed (and closed).
    // At most 60 handshakes at a time.
    void wait(const std::vector<TcpHandshake *> &pending, int timeoutMs);
    // Ends the current or next wait() early. Safe from any thread.
    void wake();

private:
    std::intptr_t m_wakeRead = -1;
    std::intptr_t m_wakeWrite = -1;
};

} // namespace nimbra::platform
