#include "privatefiles.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace nimbra::platform {
namespace {

constexpr mode_t kPrivateDirectoryMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

std::string systemError(const std::string &what, int errorNumber)
{
    return what + ": " + std::strerror(errorNumber);
}

} // namespace

bool makePrivateDirectory(const std::string &path, std::string &error)
{
    if (path.empty()) {
        error = "empty path";
        return false;
    }
    // Walk down from the root, creating what is missing; mkdir's mode is still narrowed by the umask,
    // which can only make it stricter.
    for (std::string::size_type slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && part.back() != '/' && mkdir(part.c_str(), kPrivateDirectoryMode) != 0 &&
            errno != EEXIST) {
            error = systemError(part, errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) {
        error = systemError(path, errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = path + ": not a folder";
        return false;
    }
    if ((info.st_mode & 07777) != kPrivateDirectoryMode && chmod(path.c_str(), kPrivateDirectoryMode) != 0) {
        error = systemError(path, errno);
        return false;
    }
    return true;
}

bool restrictToOwner(int fd, std::string &error)
{
    if (fchmod(fd, kPrivateFileMode) != 0) {
        error = systemError("fchmod", errno);
        return false;
    }
    return true;
}

bool restrictPathToOwner(const std::string &path, std::string &error)
{
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? true : (error = systemError(path, errno), false);
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    if ((info.st_mode & 07777) != kPrivateFileMode && chmod(path.c_str(), kPrivateFileMode) != 0) {
        error = systemError(path, errno);
        return false;
    }
    return true;
}

} // namespace nimbra::platform
