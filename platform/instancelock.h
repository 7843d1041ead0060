#pragma once

#include <cstdint>
#include <string>

// One running copy of the client per user: the lock is held for the life of the process and given
// back by the kernel when the process ends, however it ends, so a crashed copy never blocks the next.
namespace nimbra::platform {

class InstanceLock
{
public:
    enum class Result
    {
        Acquired,
        HeldElsewhere,
        Failed
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Linux: an exclusive flock() on the file at `path` (created 0600 when missing). Windows: a named
    // mutex in the session's namespace whose name is derived from `path`. Failed carries the system's
    // reason in error.
    Result acquire(const std::string &path, std::string &error);

private:
    std::intptr_t m_handle = -1;
};

// The folder for this user's hand-over socket and configuration pipe, where no other user can plant
// one. Linux: $XDG_RUNTIME_DIR when it is a folder of this user that others cannot write to, else
// ownFolder (the user's data folder) when it is this user's and closed to others. Never a name in a
// shared folder such as /tmp, which another user could take first. Empty with error set when neither
// will do. Windows: empty without error, as named pipes live in their own namespace and carry an
// access list of their own.
std::string privateRuntimeDirectory(const std::string &ownFolder, std::string &error);

// Whether the process at the other end of a connected local socket (its descriptor) runs as this
// user. Linux: SO_PEERCRED. Windows: the user of the process at the other end of the named pipe (its
// handle), as anyone may have made a pipe under our name first.
bool peerIsCurrentUser(std::intptr_t socketDescriptor);

} // namespace nimbra::platform
