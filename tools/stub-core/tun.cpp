#include "tun.h"

#include "logline.h"

#ifdef __linux__
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace stubcore {

bool TunInterface::isValidName(const std::string &name)
{
    if (name.empty() || name.size() > 15 || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (c == '/' || c == ':' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
            return false;
    }
    return true;
}

#ifdef __linux__

namespace {

bool isPrivilegeError(int error)
{
    return error == EPERM || error == EACCES;
}

void setIpv4(ifreq &request, std::uint32_t address)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(address);
    static_assert(sizeof in <= sizeof request.ifr_addr);
    std::memcpy(&request.ifr_addr, &in, sizeof in);
}

} // namespace

TunInterface::Result TunInterface::create(const std::string &name, std::uint32_t address, int prefixLength,
                                          int mtu)
{
    close();
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool missing = error == ENOENT || error == ENODEV || error == ENXIO;
        return {isPrivilegeError(error) || missing ? Outcome::Skipped : Outcome::Failed,
                systemErrorText("open /dev/net/tun", error)};
    }

    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    if (::ioctl(fd, TUNSETIFF, &request) < 0) {
        const int error = errno;
        ::close(fd);
        return {isPrivilegeError(error) ? Outcome::Skipped : Outcome::Failed,
                systemErrorText("create interface", error)};
    }

    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto configure = [&](unsigned long command, const char *operation) -> std::string {
        if (::ioctl(control, command, &request) == 0)
            return {};
        return systemErrorText(operation, errno);
    };
    std::string failure = control < 0 ? systemErrorText("socket", errno) : std::string();
    if (failure.empty()) {
        setIpv4(request, address);
        failure = configure(SIOCSIFADDR, "set address");
    }
    if (failure.empty()) {
        setIpv4(request, prefixLength == 0 ? 0 : ~std::uint32_t(0) << (32 - prefixLength));
        failure = configure(SIOCSIFNETMASK, "set netmask");
    }
    if (failure.empty() && mtu > 0) {
        request.ifr_mtu = mtu;
        failure = configure(SIOCSIFMTU, "set mtu");
    }
    if (failure.empty())
        failure = configure(SIOCGIFFLAGS, "get flags");
    if (failure.empty()) {
        request.ifr_flags = short(request.ifr_flags | IFF_UP | IFF_RUNNING);
        failure = configure(SIOCSIFFLAGS, "bring up");
    }
    if (control >= 0)
        ::close(control);
    if (!failure.empty()) {
        ::close(fd);
        return {Outcome::Failed, failure};
    }
    m_fd = fd;
    return {Outcome::Created, {}};
}

void TunInterface::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

#else

TunInterface::Result TunInterface::create(const std::string &, std::uint32_t, int, int)
{
    return {Outcome::Skipped, "TUN interfaces are only created on Linux"};
}

void TunInterface::close() {}

#endif

} // namespace stubcore
