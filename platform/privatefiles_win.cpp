#include "privatefiles.h"

#include "widetext_win.h"
#include <windows.h>

#include <string>

namespace nimbra::platform {

// Folders under the user's profile inherit an access list that admits only the user, SYSTEM and
// Administrators; creating them is all there is to do.
bool makePrivateDirectory(const std::string &path, std::string &error)
{
    std::wstring wide = widen(path);
    for (wchar_t &c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    if (wide.empty()) {
        error = "empty path";
        return false;
    }
    // Every level is tried; failures on levels that exist or cannot be made (drive, share) show in
    // the check of the folder itself below.
    for (std::wstring::size_type slash = wide.find(L'\\', 1);; slash = wide.find(L'\\', slash + 1)) {
        const std::wstring part = wide.substr(0, slash);
        if (!part.empty() && part.back() != L'\\' && part.back() != L':')
            CreateDirectoryW(part.c_str(), nullptr);
        if (slash == std::wstring::npos)
            break;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "cannot create folder " + path + ", error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool restrictToOwner(int, std::string &)
{
    return true;
}

bool restrictPathToOwner(const std::string &, std::string &)
{
    return true;
}

} // namespace nimbra::platform
