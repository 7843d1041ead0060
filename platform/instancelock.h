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

} // namespace nimbra::platform
