#include "autostart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbra::platform {
namespace {

std::string systemError(const std::string &what, int errorNumber)
{
    return what + ": " + std::strerror(errorNumber);
}

// An XDG base directory variable counts only when it holds an absolute path.
std::string configHome()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return config;
    const char *home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "") + "/.config";
}

std::string autostartDirectory()
{
    return configHome() + "/autostart";
}

// Missing levels are created for the user alone; existing ones, the autostart folder included, are
// shared with other programs' entries and keep their mode.
bool makeDirectories(const std::string &path, std::string &error)
{
    for (std::string::size_type slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && part.back() != '/' && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = systemError(part, errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

bool writeAll(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = write(fd, data.data() + done, data.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::string autostartLocation()
{
    return autostartDirectory() + "/nimbra.desktop";
}

bool autostartPresent()
{
    struct stat info = {};
    return stat(autostartLocation().c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool autostartCommand(const std::string &executablePath, std::string &command, std::string &error)
{
    // The Exec key takes a quoted argument with ", `, $ and \ escaped by a backslash; the key's value is
    // a desktop-entry string, which escapes every backslash once more; % starts a field code.
    std::string quoted = "\"";
    for (const char c : executablePath) {
        if (c == '\n' || c == '\r' || c == '\0') {
            error = "the executable's path holds a line break";
            return false;
        }
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";
        if (c == '\\')
            quoted += "\\\\\\";
        quoted += c == '%' ? std::string("%%") : std::string(1, c);
    }
    command = quoted + "\" " + kAutostartArgument;
    return true;
}

bool writeAutostart(const std::string &executablePath, std::string &error)
{
    std::string command;
    if (!autostartCommand(executablePath, command, error))
        return false;
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Nimbra加速器\n"
                              "Comment=登录后静默启动到托盘\n"
                              "Exec=" +
                              command +
                              "\n"
                              "Icon=nimbra\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    const std::string directory = autostartDirectory();
    if (!makeDirectories(directory, error))
        return false;
    const std::string path = autostartLocation();
    std::string temporary = directory + "/.nimbra.desktop.XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = systemError(temporary, errno);
        return false;
    }
    // Readable by the desktop session only, which runs as the same user.
    const bool written = fchmod(fd, 0600) == 0 && writeAll(fd, entry) && fsync(fd) == 0;
    const int writeErrno = errno;
    if (close(fd) != 0 || !written) {
        error = systemError(temporary, written ? errno : writeErrno);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = systemError(path, errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool removeAutostart(std::string &error)
{
    const std::string path = autostartLocation();
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = systemError(path, errno);
        return false;
    }
    return true;
}

} // namespace nimbra::platform
