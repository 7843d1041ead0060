#pragma once

// Administrator rights: the client adds routes and runs a TUN core, so it refuses to run without them.
namespace nimbra::platform {

// Windows: member of the built-in Administrators group. Linux: effective uid 0, or CAP_NET_ADMIN in
// the effective set.
bool isElevated();

// Linux, without root: raises CAP_NET_ADMIN into the calling thread's ambient set, so that the
// programs this thread starts (the core, the route command) inherit it. Capabilities belong to a
// thread, and only the thread that runs those two calls this: a program any other thread starts (a
// desktop bus helper, a URL opener, whatever a user's session names) gets no capability.
// Windows: nothing to do (children inherit the elevated token).
void passNetAdminToChildren();

// Tells the user that administrator rights are needed (a message box on Windows; on Linux, standard
// error, where no widget toolkit is linked, with how to get the capability: the package, or setcap on
// this executable).
void showNotElevatedMessage();

// Exit code of a start without administrator rights (ERROR_ELEVATION_REQUIRED).
inline constexpr int kNotElevatedExitCode = 740;

} // namespace nimbra::platform
