#include "instancelock.h"

#include <windows.h>

#include <string>

namespace nimbra::platform {

InstanceLock::~InstanceLock()
{
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

InstanceLock::Result InstanceLock::acquire(const std::string &path, std::string &error)
{
    if (m_handle != -1)
        return Result::Acquired;
    // Mutex names may not hold backslashes; "Local\" keeps it to the user's session.
    std::wstring name = L"Local\\Nimbra.Instance.";
    for (const char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        name += (c == '\\' || c == '/' || c == ':') ? L'_'
                : (byte >= 'A' && byte <= 'Z')      ? static_cast<wchar_t>(byte - 'A' + 'a')
                                                    : static_cast<wchar_t>(byte);
    }
    if (name.size() >= MAX_PATH)
        name.resize(MAX_PATH - 1);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        error = "CreateMutex failed, error " + std::to_string(GetLastError());
        return Result::Failed;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Result::HeldElsewhere;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
    return Result::Acquired;
}

std::string privateRuntimeDirectory(const std::string &, std::string &error)
{
    error.clear();
    return {};
}

namespace {

// The user a process runs as, as the bytes of its SID; empty when it cannot be read.
std::string processUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    std::string user;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        const PSID sid = reinterpret_cast<const TOKEN_USER *>(buffer.data())->User.Sid;
        if (IsValidSid(sid))
            user.assign(static_cast<const char *>(sid), GetLengthSid(sid));
    }
    CloseHandle(token);
    return user;
}

} // namespace

bool peerIsCurrentUser(std::intptr_t socketDescriptor)
{
    // Pipe names are shared by every user: anyone may have made the pipe under our name first, and
    // our own pipe's access list does not tell who served it. The process at the other end decides.
    const HANDLE pipe = reinterpret_cast<HANDLE>(socketDescriptor);
    DWORD flags = 0;
    if (!GetNamedPipeInfo(pipe, &flags, nullptr, nullptr, nullptr))
        return false;
    ULONG peer = 0;
    const BOOL found = (flags & PIPE_SERVER_END) ? GetNamedPipeClientProcessId(pipe, &peer)
                                                 : GetNamedPipeServerProcessId(pipe, &peer);
    if (!found)
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, peer);
    if (!process)
        return false;
    const std::string theirs = processUser(process);
    CloseHandle(process);
    const std::string ours = processUser(GetCurrentProcess());
    return !ours.empty() && theirs == ours;
}

} // namespace nimbra::platform
