#pragma once

#include <string>

// Starting the client at login, hidden in the tray. Linux: an XDG autostart entry
// ($XDG_CONFIG_HOME, else ~/.config, then autostart/nimbra.desktop). Windows: the value "Nimbra" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run. Both start the executable with kAutostartArgument.
namespace nimbra::platform {

inline constexpr const char *kAutostartArgument = "--hidden";

// Where the entry lives, for log lines: the file's path, or the registry key and value name.
std::string autostartLocation();

// Whether the entry exists (the file, or the Run value).
bool autostartPresent();

// The command the entry runs: the executable quoted for the place it goes (an XDG Exec key with its
// escaping, or a Windows command line) followed by kAutostartArgument. False with error when the path
// cannot be written there safely (a line break, or on Windows a quote).
bool autostartCommand(const std::string &executablePath, std::string &command, std::string &error);

// Writes the entry for the executable, replacing any earlier one whole (a file is written to a
// temporary beside it and renamed over it). False with the system's reason.
bool writeAutostart(const std::string &executablePath, std::string &error);

// Removes the entry; one that is already missing is not an error.
bool removeAutostart(std::string &error);

} // namespace nimbra::platform
