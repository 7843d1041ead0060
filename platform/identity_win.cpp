#include "identity.h"

#include "widetext_win.h"
#include <string>
#include <windows.h>

namespace nimbra::platform {
namespace {

constexpr int kAppIconResourceId = 101;

} // namespace

void setProcessAppUserModelId(const char *utf8Id)
{
    using SetAppIdFn = HRESULT(WINAPI *)(PCWSTR);
    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    if (!shell32)
        return;
    auto setAppId = reinterpret_cast<SetAppIdFn>(
        reinterpret_cast<void *>(GetProcAddress(shell32, "SetCurrentProcessExplicitAppUserModelID")));
    if (setAppId) {
        const std::wstring id = widen(std::string(utf8Id));
        setAppId(id.c_str());
    }
    FreeLibrary(shell32);
}

NativeIconResult applyNativeWindowIcon(std::uintptr_t nativeWindowHandle)
{
    HWND window = reinterpret_cast<HWND>(nativeWindowHandle);
    if (!window)
        return {};
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const int width = GetSystemMetrics(SM_CXICON);
    const int height = GetSystemMetrics(SM_CYICON);
    auto big = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kAppIconResourceId), IMAGE_ICON, width, height, LR_SHARED));
    auto small = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kAppIconResourceId), IMAGE_ICON, width, height, LR_SHARED));
    NativeIconResult result;
    if (!big || !small) {
        result.complete = false;
        result.lastError = GetLastError();
    }
    if (big) {
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (small) {
            SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
            SendMessageW(window, WM_SETICON, ICON_SMALL2, reinterpret_cast<LPARAM>(small));
            SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
            SetClassLongPtrW(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small));
            return result;
        }
        SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
    } else if (small) {
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        SendMessageW(window, WM_SETICON, ICON_SMALL2, reinterpret_cast<LPARAM>(small));
        SetClassLongPtrW(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small));
    }
    return result;
}

} // namespace nimbra::platform
