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

bool peerIsCurrentUser(std::intptr_t)
{
    return true;
}

} // namespace nimbra::platform
