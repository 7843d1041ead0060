#pragma once

#include <string>

// Whether this process runs with rights its user does not have, and the administrator's configuration
// file that only root can have written. The client itself holds no capability (the network helper
// does the privileged work), so secure execution is not expected; it still decides whether the
// user's environment may name the service.
namespace nimbra::platform {

// The kernel's secure-execution flag (AT_SECURE): exec gave this process rights its user does not
// have (set-user-id, set-group-id or a file capability). Windows: always false.
bool isSecureExecution();

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
