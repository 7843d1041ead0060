#pragma once

// Administrator rights: the client adds routes and runs a TUN core, so it refuses to run without them.
namespace nimbra::platform {

// Windows: member of the built-in Administrators group. Linux: effective uid 0, or CAP_NET_ADMIN in
// the effective set (in which case it is also raised into the ambient set so that the core and the
// route command started later inherit it).
bool isElevated();

// Tells the user that administrator rights are needed (a message box on Windows; on Linux, standard
// error, where no widget toolkit is linked, with how to get the capability: the package, or setcap on
// this executable).
void showNotElevatedMessage();

// Exit code of a start without administrator rights (ERROR_ELEVATION_REQUIRED).
inline constexpr int kNotElevatedExitCode = 740;

} // namespace nimbra::platform
