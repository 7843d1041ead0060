#include "elevation.h"

#include <cstdio>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nimbra::platform {
namespace {

constexpr const char *kCaption = "需要管理员权限";
constexpr const char *kText =
    "Nimbra加速器必须使用管理员权限运行。\n\n请右键程序，选择“以管理员身份运行”后重试。";

bool readCapabilities(__user_cap_header_struct &header, __user_cap_data_struct (&data)[2])
{
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    return syscall(SYS_capget, &header, data) == 0;
}

// The ambient set only takes capabilities that are both permitted and inheritable, so the
// inheritable bit is set first. Failure is harmless: the children then fail on their own.
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
    if (!readCapabilities(header, data))
        return false;
    if ((data[CAP_TO_INDEX(CAP_NET_ADMIN)].effective & CAP_TO_MASK(CAP_NET_ADMIN)) == 0)
        return false;
    raiseAmbientNetAdmin(header, data);
    return true;
}

void showNotElevatedMessage()
{
    std::fprintf(stderr, "%s\n%s\n", kCaption, kText);
    std::fflush(stderr);
}

} // namespace nimbra::platform
