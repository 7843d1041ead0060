#pragma once

// Administrator rights: on Windows the client adds routes and runs a TUN core itself, so it refuses to
// run without them. On Linux it holds no privilege at all: the network helper does that work.
namespace nimbra::platform {

// Windows: member of the built-in Administrators group. Linux: always true.
bool isElevated();

// Windows: tells the user that administrator rights are needed, in a message box. Linux: never needed.
void showNotElevatedMessage();

// Exit code of a start without administrator rights (ERROR_ELEVATION_REQUIRED).
inline constexpr int kNotElevatedExitCode = 740;

} // namespace nimbra::platform
