#pragma once

#include <string>
#include <string_view>
#include <vector>

// The installed client carries cap_net_admin as a file capability, and every local user may start it.
// Such a process must not let the user who starts it choose the code it loads or the service it obeys:
// either would hand the capability to whatever that user picked.
namespace nimbra::platform {

// The kernel's secure-execution flag (AT_SECURE): exec gave this process rights its user does not
// have (set-user-id, set-group-id or a file capability). Windows: always false.
bool isSecureExecution();

// Variables removed in secure-execution mode. Kept on purpose: DISPLAY, WAYLAND_DISPLAY, XAUTHORITY,
// HOME, LANG/LC_*, XDG_* (the user's own folders, whose content the user can change anyway),
// QT_QPA_PLATFORM and QT_IM_MODULE (plugin names, looked up only in the root-owned plugin folder
// once the paths below are gone), QT_LOGGING_RULES/QT_LOGGING_CONF (they only choose which lines
// are written, and the file is read with the user's own rights) and NIMBRA_STUB_CORE_MODE (failure
// modes of the stand-in core; it names no file and no code). glibc already drops LD_* and friends,
// and OpenSSL, libdbus and the Vulkan loader ignore their variables in this mode themselves.
inline constexpr std::string_view kSecureModeDroppedVariables[] = {
    // Folders Qt loads plugins and QML modules (code) from.
    "QT_PLUGIN_PATH",
    "QT_QPA_PLATFORM_PLUGIN_PATH",
    "QML_IMPORT_PATH",
    "QML2_IMPORT_PATH",
    // Plugins and styles chosen by name or file: generic input plugins open devices, and a Quick
    // Controls style is QML code; the client draws its own look.
    "QT_QPA_GENERIC_PLUGINS",
    "QT_STYLE_OVERRIDE",
    "QT_QUICK_CONTROLS_STYLE",
    "QT_QUICK_CONTROLS_STYLE_PATH",
    "QT_QUICK_CONTROLS_FALLBACK_STYLE",
    "QT_QUICK_CONTROLS_CONF",
    // Compiled QML from the user's cache folder is code too (see the pinned values below).
    "QML_FORCE_DISK_CACHE",
    // The QML debugger accepts scripts over its port.
    "NIMBRA_ENABLE_QML_DEBUGGER",
    // Whoever names the service decides the routes and the core's configuration.
    "NIMBRA_API_BASE_URL",
    // Graphics driver loaders that honour these unless the user id changed, which a file capability
    // does not do: each names a driver library or a folder of them.
    "LIBGL_DRIVERS_PATH",
    "LIBGL_DRIVERS_DIR",
    "MESA_LOADER_DRIVER_OVERRIDE",
    "GBM_BACKENDS_PATH",
    "__EGL_VENDOR_LIBRARY_DIRS",
    "__EGL_VENDOR_LIBRARY_FILENAMES",
    "__GLX_VENDOR_LIBRARY_NAME",
    // ICU maps its data file and trusts its offsets.
    "ICU_DATA",
};

struct PinnedVariable
{
    std::string_view name;
    std::string_view value;
};

// Variables given a fixed value in secure-execution mode.
inline constexpr PinnedVariable kSecureModePinnedVariables[] = {
    // The route command is found on the search path and inherits the capability.
    {"PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"},
    // Left to itself Qt picks the GTK theme plugin on GNOME-like desktops, and GTK loads the modules
    // the user's session names; the built-in theme loads nothing.
    {"QT_QPA_PLATFORMTHEME", "generic"},
    // Compiled QML and shader programs would otherwise be read back from the user's cache folder.
    {"QML_DISABLE_DISK_CACHE", "1"},
    {"QT_DISABLE_SHADER_DISK_CACHE", "1"},
};

// Applies both lists to the process environment. Returns the names of the variables the user had set
// that were removed or replaced (names only: values may be anything). Windows: does nothing.
std::vector<std::string> hardenEnvironment();

enum class ProtectedFileStatus
{
    Ok,
    Missing,
    Untrusted,  // not a regular file, not owned by root, or it or its folder writable by others
    Unreadable, // open or read failed, or too large for a configuration file
};

// Reads a small configuration file that only root can have written: the file and its folder are
// owned by root and writable by neither group nor others, and the file is not a symbolic link.
// reason says why the file was not used. Windows: always Missing (no such file is used there).
ProtectedFileStatus readRootOwnedFile(const std::string &path, std::string &content, std::string &reason);

// The administrator's configuration of the installed client.
inline constexpr const char *kSystemConfigPath = "/etc/nimbra/nimbra.conf";

} // namespace nimbra::platform
