// UTF-8 to the UTF-16 the wide Windows API takes, for the _win.cpp halves (and their tests).
#pragma once

#include <string>
#include <windows.h>

namespace nimbra::platform {

inline std::wstring widen(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

} // namespace nimbra::platform
