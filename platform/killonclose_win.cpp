#include "killonclose.h"

#include <windows.h>

#include <vector>

#ifndef PROC_THREAD_ATTRIBUTE_JOB_LIST
#define PROC_THREAD_ATTRIBUTE_JOB_LIST ProcThreadAttributeValue(13, FALSE, TRUE, FALSE)
#endif

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
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_SET_QUOTA | PROCESS_QUERY_LIMITED_INFORMATION,
                                 FALSE, static_cast<DWORD>(processId));
    if (process) {
        BOOL inJob = FALSE;
        assigned = (IsProcessInJob(process, static_cast<HANDLE>(m_job), &inJob) && inJob) ||
                   AssignProcessToJobObject(static_cast<HANDLE>(m_job), process) != FALSE;
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

namespace {

// Extended startup information naming the job, and the attribute list it points to.
struct JobStartupInfo
{
    STARTUPINFOEXW info = {};
    std::vector<unsigned char> list;
    HANDLE job = nullptr;
    bool initialised = false;

    ~JobStartupInfo()
    {
        if (initialised)
            DeleteProcThreadAttributeList(info.lpAttributeList);
    }
};

} // namespace

bool KillOnCloseJob::prepareCreation(void *&startupInfo, unsigned long &creationFlags,
                                     std::shared_ptr<void> &keepAlive) const
{
    if (!m_job || !startupInfo)
        return false;
    auto extended = std::make_shared<JobStartupInfo>();
    extended->job = static_cast<HANDLE>(m_job);
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0)
        return false;
    extended->list.resize(size);
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(extended->list.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size))
        return false;
    extended->initialised = true;
    extended->info.lpAttributeList = list;
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &extended->job, sizeof(HANDLE),
                                   nullptr, nullptr))
        return false;
    // Everything else (standard handles, window flags) stays as the caller prepared it.
    extended->info.StartupInfo = *static_cast<STARTUPINFOW *>(startupInfo);
    extended->info.StartupInfo.cb = sizeof(STARTUPINFOEXW);
    startupInfo = &extended->info;
    creationFlags |= EXTENDED_STARTUPINFO_PRESENT;
    keepAlive = std::move(extended);
    return true;
}

} // namespace nimbra::platform
