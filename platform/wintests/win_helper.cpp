// Child processes for tst_windows.exe, for what needs a process of its own:
//   icon-missing                        (this executable has no icon 101) the failure is reported
//   aumid-without-function  the AppUserModelID call meets a shell32 without the function
//   print ARGUMENT...       prints each argument and, after a "--" line, each environment variable on
//                           lines of their own; a line on standard error as well
// Exit code 0 when the behaviour is as expected; see each mode for the others.
#include "platform/identity.h"
#include "platform/widetext_win.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace nimbra::platform;

namespace {

// 1: no window could be made; 2: reported complete; 3: no error code; 4: an icon was set anyway.
int iconMissing()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NimbraNoIcon";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    const NativeIconResult result = applyNativeWindowIcon(reinterpret_cast<std::uintptr_t>(window));
    if (result.complete)
        return 2;
    if (result.lastError == 0)
        return 3;
    if (SendMessageW(window, WM_GETICON, ICON_BIG, 0) || SendMessageW(window, WM_GETICON, ICON_SMALL, 0) ||
        GetClassLongPtrW(window, GCLP_HICON) || GetClassLongPtrW(window, GCLP_HICONSM))
        return 4;
    return 0;
}

// Run with WINEDLLOVERRIDES=shell32=n so that wine loads the stand-in from fake-shell32\ beside us.
// 10: the stand-in could not take shell32's place (test not possible); 11: shell32 was loaded
// already; 2: the call left shell32 loaded. A crash ends with an exception code.
int appUserModelIdWithoutFunction()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    directory.resize(directory.find_last_of(L'\\') + 1);
    SetDllDirectoryW((directory + L"fake-shell32").c_str());
    if (GetModuleHandleW(L"shell32.dll"))
        return 11;
    setProcessAppUserModelId(kAppUserModelId);
    if (GetModuleHandleW(L"shell32.dll"))
        return 2;
    // Proof that the call met the stand-in, not the real one.
    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    const bool standIn = shell32 && GetProcAddress(shell32, "NimbraStandInShell32") &&
                         !GetProcAddress(shell32, "SetCurrentProcessExplicitAppUserModelID");
    if (shell32)
        FreeLibrary(shell32);
    return standIn ? 0 : 10;
}

int printArgumentsAndEnvironment(int argc, char **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    std::string text;
    for (int index = 2; index < argc; ++index)
        text += std::string(argv[index]) + "\n";
    text += "--\n";
    wchar_t *block = GetEnvironmentStringsW();
    for (const wchar_t *entry = block; entry && *entry; entry += std::wcslen(entry) + 1)
        text += narrow(entry) + "\n";
    FreeEnvironmentStringsW(block);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs("on the error channel", stderr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "icon-missing") == 0)
        return iconMissing();
    if (argc == 2 && std::strcmp(argv[1], "aumid-without-function") == 0)
        return appUserModelIdWithoutFunction();
    if (argc >= 2 && std::strcmp(argv[1], "print") == 0)
        return printArgumentsAndEnvironment(argc, argv);
    return 64;
}
