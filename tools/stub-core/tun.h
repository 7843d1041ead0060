#pragma once

// The TUN interface of the configuration, so host routes through its address have a real target.
#include <cstdint>
#include <string>

namespace stubcore {

class TunInterface
{
public:
    enum class Outcome
    {
        Created,
        Skipped, // no privilege or no TUN support: carry on without an interface
        Failed,  // a privileged attempt failed: the real core would stop here
    };
    struct Result
    {
        Outcome outcome;
        std::string detail; // system error text when not created
    };

    TunInterface() = default;
    ~TunInterface() { close(); }
    TunInterface(const TunInterface &) = delete;
    TunInterface &operator=(const TunInterface &) = delete;

    // Linux interface names: 1..15 bytes, no white space, '/' or ':', not "." or "..".
    static bool isValidName(const std::string &name);

    Result create(const std::string &name, std::uint32_t address, int prefixLength, int mtu);
    bool isOpen() const { return m_fd >= 0; }
    // The kernel removes a non-persistent TUN interface when its last descriptor closes.
    void close();

private:
    int m_fd = -1;
};

} // namespace stubcore
