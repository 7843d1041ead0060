#include "elevation.h"

#include <windows.h>

namespace nimbra::platform {

bool isElevated()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    return checked && member;
}

void showNotElevatedMessage()
{
    MessageBoxW(nullptr,
                L"Nimbra加速器必须使用管理员权限运行。\n\n请右键程序，选择“以管理员身份运行”后重试。",
                L"需要管理员权限", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

} // namespace nimbra::platform
