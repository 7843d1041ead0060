#include "routecommand.h"

#include "widetext_win.h"

#include <windows.h>

namespace nimbra::platform {

std::string systemProgramPath(std::string_view program)
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return narrow(std::wstring(folder, length)) + "\\" + std::string(program);
}

std::optional<std::vector<OwnRoute>> listOwnRoutes(int *systemError)
{
    if (systemError)
        *systemError = 0;
    return std::vector<OwnRoute>();
}

} // namespace nimbra::platform
