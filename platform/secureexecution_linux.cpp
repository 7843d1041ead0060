#include "secureexecution.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbra::platform {
namespace {

constexpr off_t kMaxConfigSize = 64 * 1024;

bool writableByOthers(const struct stat &status)
{
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool isSecureExecution()
{
    return getauxval(AT_SECURE) != 0;
}

ProtectedFileStatus readRootOwnedFile(const std::string &path, std::string &content, std::string &reason)
{
    content.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return ProtectedFileStatus::Missing;
        reason = error == ELOOP ? "a symbolic link" : std::strerror(error);
        return error == ELOOP ? ProtectedFileStatus::Untrusted : ProtectedFileStatus::Unreadable;
    }
    struct stat file = {};
    struct stat folder = {};
    ProtectedFileStatus status = ProtectedFileStatus::Ok;
    if (fstat(fd, &file) != 0 || stat(folderOf(path).c_str(), &folder) != 0) {
        reason = std::strerror(errno);
        status = ProtectedFileStatus::Unreadable;
    } else if (!S_ISREG(file.st_mode)) {
        reason = "not a regular file";
        status = ProtectedFileStatus::Untrusted;
    } else if (file.st_uid != 0 || writableByOthers(file)) {
        reason = "not owned by root or writable by group or others";
        status = ProtectedFileStatus::Untrusted;
    } else if (folder.st_uid != 0 || writableByOthers(folder)) {
        reason = "its folder is not owned by root or is writable by group or others";
        status = ProtectedFileStatus::Untrusted;
    } else if (file.st_size > kMaxConfigSize) {
        reason = "larger than 64 KiB";
        status = ProtectedFileStatus::Unreadable;
    }
    char buffer[4096];
    while (status == ProtectedFileStatus::Ok) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            reason = std::strerror(errno);
            status = ProtectedFileStatus::Unreadable;
        } else if (count == 0) {
            break;
        } else if (content.append(buffer, static_cast<std::size_t>(count)).size() > kMaxConfigSize) {
            reason = "larger than 64 KiB";
            status = ProtectedFileStatus::Unreadable;
        }
    }
    close(fd);
    if (status != ProtectedFileStatus::Ok)
        content.clear();
    return status;
}

} // namespace nimbra::platform
