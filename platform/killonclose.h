#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The core and its validator must die with the client, even when the client is killed outright.
// Linux: the child asks the kernel for SIGKILL when its parent goes away (call childSetupForKillOnClose
// in the forked child before exec). Windows: the child is created inside a job object that kills
// everything in it when its last handle closes (KillOnCloseJob).
namespace nimbra::platform {

std::int64_t currentProcessId();

// Linux: for QProcess::setChildProcessModifier, so async-signal-safe calls only. parentPid is
// currentProcessId() taken before the fork; a child whose parent has already gone exits at once with
// code 127. The death signal is tied to the forking thread, not the process: start the processes
// from a thread that lives as long as they should (the core worker thread). It does not survive an
// exec that gains privileges (set-user-ID, file capabilities). Windows: does nothing.
void childSetupForKillOnClose(std::int64_t parentPid) noexcept;

class KillOnCloseJob
{
public:
    // Windows: an unnamed job with JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE as its only limit; when that
    // cannot be set up the object holds no job. Linux: holds nothing.
    KillOnCloseJob();
    // Closes the job, which ends every process still in it.
    ~KillOnCloseJob();
    KillOnCloseJob(const KillOnCloseJob &) = delete;
    KillOnCloseJob &operator=(const KillOnCloseJob &) = delete;

    // Windows: puts the started process into the job. On failure returns false with warning = the
    // diagnostic log line "[Accelerator] 无法将内核加入 Windows Job Object error=<code>". Without a job
    // (and always on Linux) there is nothing to do: true.
    // A process already in the job counts as assigned.
    bool assign(std::int64_t processId, std::string &warning);

    // Windows: rewrites CreateProcessW arguments (the STARTUPINFOW pointer and the creation flags) so
    // that the process is created inside the job, before it runs any code, and cannot outlive the
    // client even if it dies at once (ChildProcess does this).
    // keepAlive receives what the new arguments point to: keep it until CreateProcessW has returned.
    // False, changing nothing, without a job or when the system cannot build the attribute; assign()
    // after the start is the fallback then. Linux: false.
    bool prepareCreation(void *&startupInfo, unsigned long &creationFlags,
                         std::shared_ptr<void> &keepAlive) const;

private:
    void *m_job = nullptr;
};

} // namespace nimbra::platform
