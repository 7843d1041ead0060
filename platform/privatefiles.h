#pragma once

#include <string>

// Files that hold the session, the device secret or the user's history are for their owner's eyes
// only. Linux: 0600 files in 0700 folders. Windows: the per-user data folders are already private to
// the user by their inherited access lists, so these calls have nothing to add there and succeed.
namespace nimbra::platform {

// Creates the folder and any missing parents (new ones 0700) and sets the folder itself to 0700.
// Folders that already existed above it are left as they are: they are the user's, not ours.
// On failure returns false with error = the system's reason.
bool makePrivateDirectory(const std::string &path, std::string &error);

// Sets an open file (its descriptor) to 0600. Windows: a no-op that succeeds.
bool restrictToOwner(int fd, std::string &error);

// Sets an existing file (by path) to 0600; a missing file is not an error. Windows: a no-op.
bool restrictPathToOwner(const std::string &path, std::string &error);

} // namespace nimbra::platform
