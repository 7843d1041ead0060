#include "instancelock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace nimbra::platform {

InstanceLock::~InstanceLock()
{
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));
}

InstanceLock::Result InstanceLock::acquire(const std::string &path, std::string &error)
{
    if (m_handle >= 0)
        return Result::Acquired;
    // Close-on-exec: the core and the route commands must not inherit the lock and keep it alive.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return Result::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int errorNumber = errno;
        close(fd);
        if (errorNumber == EWOULDBLOCK)
            return Result::HeldElsewhere;
        error = path + ": " + std::strerror(errorNumber);
        return Result::Failed;
    }
    m_handle = fd;
    return Result::Acquired;
}

} // namespace nimbra::platform
