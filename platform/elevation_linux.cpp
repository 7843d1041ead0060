#include "elevation.h"

#include <cstdio>
#include <linux/capability.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nimbra::platform {
namespace {

constexpr const char *kCaption = "需要管理员权限";
constexpr const char *kText = "Nimbra加速器必须使用管理员权限运行。";

// The path of this executable, for the setcap line; a placeholder when it cannot be read.
std::string ownPath()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string("<nimbra>");
}

bool readCapabilities(__user_cap_header_struct &header, __user_cap_data_struct (&data)[2])
{
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    return syscall(SYS_capget, &header, data) == 0;
}

// The ambient set only takes capabilities that are both permitted and inheritable, so the
// inheritable bit is set first. Both sets belong to the calling thread alone. Failure is harmless:
// the children then fail on their own.
void raiseAmbientNetAdmin(__user_cap_header_struct &header, __user_cap_data_struct (&data)[2])
{
    const unsigned index = CAP_TO_INDEX(CAP_NET_ADMIN);
    const unsigned mask = CAP_TO_MASK(CAP_NET_ADMIN);
    if ((data[index].permitted & mask) == 0)
        return;
    if ((data[index].inheritable & mask) == 0) {
        data[index].inheritable |= mask;
        if (syscall(SYS_capset, &header, data) != 0)
            return;
    }
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_ADMIN, 0, 0);
}

} // namespace

bool isElevated()
{
    if (geteuid() == 0)
        return true;
    __user_cap_header_struct header{};
    __user_cap_data_struct data[2]{};
    return readCapabilities(header, data) &&
           (data[CAP_TO_INDEX(CAP_NET_ADMIN)].effective & CAP_TO_MASK(CAP_NET_ADMIN)) != 0;
}

void passNetAdminToChildren()
{
    __user_cap_header_struct header{};
    __user_cap_data_struct data[2]{};
    if (geteuid() != 0 && readCapabilities(header, data))
        raiseAmbientNetAdmin(header, data);
}

void showNotElevatedMessage()
{
    // Running the whole graphical client as root is what the capability is there to avoid.
    std::fprintf(
        stderr,
        "%s\n%s\n\n它只需要 cap_net_admin 权限：安装 Nimbra 软件包后从应用菜单启动即可（软件包已为 "
        "/usr/lib/nimbra/nimbra 授予该权限）；自行编译的版本请执行：\n  sudo setcap cap_net_admin+ep "
        "%s\n",
        kCaption, kText, ownPath().c_str());
    std::fflush(stderr);
}

} // namespace nimbra::platform
