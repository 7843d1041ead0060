#include "killonclose.h"

#include <windows.h>

namespace nimbra::platform {

std::int64_t currentProcessId()
{
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

void childSetupForKillOnClose(std::int64_t) noexcept {}

KillOnCloseJob::KillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return;
    }
    m_job = job;
}

KillOnCloseJob::~KillOnCloseJob()
{
    if (m_job)
        CloseHandle(static_cast<HANDLE>(m_job));
}

bool KillOnCloseJob::assign(std::int64_t processId, std::string &warning)
{
    if (!m_job)
        return true;
    DWORD error = 0;
    bool assigned = false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_SET_QUOTA, FALSE, static_cast<DWORD>(processId));
    if (process) {
        assigned = AssignProcessToJobObject(static_cast<HANDLE>(m_job), process) != FALSE;
        if (!assigned)
            error = GetLastError();
        CloseHandle(process);
    } else {
        error = GetLastError();
    }
    if (assigned)
        return true;
    warning = "[Accelerator] 无法将内核加入 Windows Job Object error=" + std::to_string(error);
    return false;
}

} // namespace nimbra::platform
