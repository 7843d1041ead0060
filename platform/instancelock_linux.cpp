#include "instancelock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

namespace {

// A real folder (not a link) owned by this user that no one else can write to.
bool isOwnClosedDirectory(const std::string &path, mode_t forbidden, std::string &error)
{
    struct stat info = {};
    if (lstat(path.c_str(), &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & forbidden) != 0) {
        error = path + ": not a folder of this user closed to others";
        return false;
    }
    return true;
}

} // namespace

std::string privateRuntimeDirectory(const std::string &ownFolder, std::string &error)
{
    std::string reason;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isOwnClosedDirectory(runtime, S_IWGRP | S_IWOTH, reason))
        return runtime;
    if (ownFolder.empty() || ownFolder[0] != '/') {
        error = "no runtime folder of this user's ($XDG_RUNTIME_DIR) and no folder of its own given";
        return {};
    }
    if (!isOwnClosedDirectory(ownFolder, S_IRWXG | S_IRWXO, error))
        return {};
    return ownFolder;
}

bool peerIsCurrentUser(std::intptr_t socketDescriptor)
{
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == getuid();
}

} // namespace nimbra::platform
