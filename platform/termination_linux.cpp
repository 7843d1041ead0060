#include "termination.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace nimbra::platform {
namespace {

int g_writeEnd = -1;

void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = write(g_writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

int openTerminationNotifier()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    g_writeEnd = fds[1];
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
    return fds[0];
}

int readTerminationNotification(int fd)
{
    unsigned char byte = 0;
    return read(fd, &byte, 1) == 1 ? byte : 0;
}

} // namespace nimbra::platform
