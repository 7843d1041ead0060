#include "autostart.h"

#include "widetext_win.h"
#include <windows.h>

namespace nimbra::platform {
namespace {

constexpr const wchar_t *kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t *kValueName = L"Nimbra";

std::string systemError(const std::string &what, LSTATUS status)
{
    return what + " failed, error " + std::to_string(status);
}

} // namespace

std::string autostartLocation()
{
    return "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Nimbra";
}

bool autostartPresent()
{
    // Asking for REG_EXPAND_SZ requires RRF_NOEXPAND; without it the call fails whatever is there.
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName,
                        RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

bool autostartCommand(const std::string &executablePath, std::string &command, std::string &error)
{
    // A quote cannot occur in a Windows path; one here would end the quoted program name early.
    for (const char c : executablePath) {
        if (c == '"' || c == '\n' || c == '\r' || c == '\0') {
            error = "the executable's path holds a quote or a line break";
            return false;
        }
    }
    command = "\"" + executablePath + "\" " + kAutostartArgument;
    return true;
}

bool writeAutostart(const std::string &executablePath, std::string &error)
{
    std::string command;
    if (!autostartCommand(executablePath, command, error))
        return false;
    const std::wstring value = widen(command);
    HKEY key = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        error = systemError("RegCreateKeyEx", status);
        return false;
    }
    // One call sets the whole value: it is either the old one or the new one.
    status = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        error = systemError("RegSetValueEx", status);
        return false;
    }
    return true;
}

bool removeAutostart(std::string &error)
{
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        error = systemError("RegDeleteKeyValue", status);
        return false;
    }
    return true;
}

} // namespace nimbra::platform
