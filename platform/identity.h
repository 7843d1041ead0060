#pragma once

#include <cstdint>

// Process identity towards the desktop shell: taskbar grouping and the native window icon.
namespace nimbra::platform {

inline constexpr const char *kAppUserModelId = "Nimbra.Desktop.Accelerator";

// Windows: SetCurrentProcessExplicitAppUserModelID, looked up from shell32 at run time; failures are
// ignored. Linux: nothing at OS level (the desktop file name set through Qt plays that role).
void setProcessAppUserModelId(const char *utf8Id);

struct NativeIconResult
{
    bool complete = true;        // both icon handles were loaded (or nothing needs loading)
    unsigned long lastError = 0; // the system error code when not complete
};

// Windows: loads icon resource 101 and sets it on the window (WM_SETICON) and its class, which Qt's
// own window icon does not reach for the taskbar and Alt+Tab. Linux: the Qt window icon is enough.
NativeIconResult applyNativeWindowIcon(std::uintptr_t nativeWindowHandle);

} // namespace nimbra::platform
