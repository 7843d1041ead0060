#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nimbra::testing {

ChildProcess::~ChildProcess()
{
    if (m_id > 0 && !m_ended) {
        kill();
        waitForExit(5000);
    }
}

bool ChildProcess::start(const std::string &program, const std::vector<std::string> &arguments,
                         ChildSetup setup)
{
    // Everything the child needs is built before the fork: only exec-safe calls may follow it.
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const std::int64_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (setup)
            setup(parent);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    m_id = pid;
    m_ended = false;
    m_exitCode = -1;
    return true;
}

bool ChildProcess::running()
{
    return m_id > 0 && !waitForExit(0);
}

bool ChildProcess::waitForExit(int timeoutMs)
{
    if (m_id <= 0)
        return false;
    for (int waited = 0; !m_ended; waited += 5) {
        int status = 0;
        const pid_t result = waitpid(static_cast<pid_t>(m_id), &status, WNOHANG);
        if (result == static_cast<pid_t>(m_id)) {
            m_ended = true;
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (result < 0 && errno != EINTR)
            return false;
        if (waited >= timeoutMs)
            return false;
        sleepMs(5);
    }
    return true;
}

void ChildProcess::kill()
{
    if (m_id > 0 && !m_ended)
        ::kill(static_cast<pid_t>(m_id), SIGKILL);
}

bool processRunning(std::int64_t processId)
{
    // A killed grandchild stays a zombie until its new parent reaps it; it no longer runs.
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text))
        return false;
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

void killProcess(std::int64_t processId)
{
    if (processId > 0)
        ::kill(static_cast<pid_t>(processId), SIGKILL);
}

std::string executableDirectory()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return "./";
    std::string path(buffer, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

std::string helperProgram()
{
    return executableDirectory() + "platform_test_helper";
}

bool readWhole(const std::string &path, std::string &data)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    data.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            close(fd);
            return got == 0;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

void sleepMs(int milliseconds)
{
    timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void usePrivateUserDirectories(const std::string &directory)
{
    setenv("XDG_RUNTIME_DIR", directory.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (directory + "/config").c_str(), 1);
}

LoopbackListener::LoopbackListener()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    m_socket = fd;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0 && listen(fd, 16) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
}

void LoopbackListener::close()
{
    if (m_socket >= 0)
        ::close(static_cast<int>(m_socket));
    m_socket = -1;
}

} // namespace nimbra::testing
