#include "killonclose.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace nimbra::platform {

std::int64_t currentProcessId()
{
    return getpid();
}

void childSetupForKillOnClose(std::int64_t parentPid) noexcept
{
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    // The parent may have died between fork and prctl; the child then already has a new parent and
    // would never get the signal.
    if (getppid() != static_cast<pid_t>(parentPid))
        _exit(127);
}

KillOnCloseJob::KillOnCloseJob() = default;

KillOnCloseJob::~KillOnCloseJob() = default;

bool KillOnCloseJob::assign(std::int64_t, std::string &)
{
    return true;
}

bool KillOnCloseJob::prepareCreation(void *&, unsigned long &, std::shared_ptr<void> &) const
{
    return false;
}

} // namespace nimbra::platform
