#include "configpipe.h"

#include "instancelock.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace nimbra::platform {
namespace {

constexpr const char *kDirectoryName = "nimbra";

std::string runtimeBaseDirectory(const std::string &ownFolder, std::string &error)
{
    if (ownFolder.empty()) {
        // Relative values are ignored, as the XDG base directory rules require.
        const char *xdg = std::getenv("XDG_RUNTIME_DIR");
        return xdg && xdg[0] == '/' ? xdg : "/run";
    }
    return privateRuntimeDirectory(ownFolder, error);
}

// Opens (creating when missing) the directory that holds our FIFOs. It must be ours and end up 0700:
// anyone else able to enter or write it could open or swap the FIFO and read the passwords. One of ours
// with a wider mode (an older version, a user's mkdir) is tightened; a stranger's is refused.
int openPrivateDirectory(const std::string &path, int &error)
{
    const bool created = mkdir(path.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        error = errno;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    if (info.st_uid != geteuid()) {
        error = EPERM;
        ::close(fd);
        return -1;
    }
    // A restrictive umask may have taken bits from a directory made just now, a wider one left some.
    if ((info.st_mode & 07777) != 0700 && fchmod(fd, 0700) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

bool randomHex32(std::string &hex, int &error)
{
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    // Shaped as a random (version 4) UUID, like the Windows name.
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
    static constexpr char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return true;
}

// A reader that goes away mid-write must give EPIPE, not kill the client with SIGPIPE. Blocking the
// signal in this thread and taking back the one our write raised leaves the process-wide disposition
// alone.
class SigpipeBlocker
{
public:
    SigpipeBlocker()
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlocker() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SigpipeBlocker(const SigpipeBlocker &) = delete;
    SigpipeBlocker &operator=(const SigpipeBlocker &) = delete;

    void discardRaised()
    {
        if (m_wasPending)
            return;
        const int savedErrno = errno;
        const timespec zero = {};
        while (sigtimedwait(&m_set, nullptr, &zero) < 0 && errno == EINTR) {
        }
        errno = savedErrno;
    }

private:
    sigset_t m_set;
    sigset_t m_previous;
    bool m_wasPending = false;
};

} // namespace

struct ConfigPipe::Impl
{
    int directoryFd = -1;
    int writeFd = -1;
    std::string name;
    std::string path;
    bool linked = false;
};

ConfigPipe::ConfigPipe()
    : m_impl(std::make_unique<Impl>())
{}

ConfigPipe::~ConfigPipe()
{
    close();
}

const std::string &ConfigPipe::path() const
{
    return m_impl->path;
}

void ConfigPipe::close()
{
    Impl &impl = *m_impl;
    if (impl.linked)
        unlinkat(impl.directoryFd, impl.name.c_str(), 0);
    if (impl.writeFd >= 0)
        ::close(impl.writeFd);
    if (impl.directoryFd >= 0)
        ::close(impl.directoryFd);
    impl = Impl();
}

ConfigPipeResult ConfigPipe::create(ConfigPipeUse use, std::size_t, const std::string &ownFolder)
{
    close();
    Impl &impl = *m_impl;
    const auto failed = [&](int error, const std::string &path) {
        close();
        return makeConfigPipeResult(ConfigPipeStatus::CreateFailed, use, static_cast<unsigned long>(error),
                                    path);
    };
    std::string reason;
    const std::string base = runtimeBaseDirectory(ownFolder, reason);
    if (base.empty())
        return failed(EACCES, reason);
    const std::string directory = base + "/" + kDirectoryName;

    int error = 0;
    impl.directoryFd = openPrivateDirectory(directory, error);
    if (impl.directoryFd < 0)
        return failed(error, directory);
    std::string hex;
    if (!randomHex32(hex, error))
        return failed(error, {});
    impl.name = "nimbra-config-" + hex;
    const std::string path = directory + "/" + impl.name;
    if (mkfifoat(impl.directoryFd, impl.name.c_str(), 0600) != 0)
        return failed(errno, path);
    impl.linked = true;
    if (fchmodat(impl.directoryFd, impl.name.c_str(), 0600, 0) != 0)
        return failed(errno, path);
    impl.path = path;
    return {};
}

ConfigPipeResult ConfigPipe::serve(std::string_view config, const std::function<bool()> &processRunning)
{
    Impl &impl = *m_impl;
    const auto finish = [&](ConfigPipeStatus status, int error) {
        close();
        return makeConfigPipeResult(status, ConfigPipeUse::Run, static_cast<unsigned long>(error));
    };
    if (!impl.linked)
        return finish(ConfigPipeStatus::ConnectFailed, EBADF);

    // Opening for writing without blocking fails with ENXIO until a reader has the FIFO open, which is
    // exactly the "no client yet" answer of a listening named pipe.
    const auto begun = std::chrono::steady_clock::now();
    for (;;) {
        impl.writeFd =
            openat(impl.directoryFd, impl.name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (impl.writeFd >= 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != ENXIO)
            return finish(ConfigPipeStatus::ConnectFailed, errno);
        if (processRunning && !processRunning())
            return finish(ConfigPipeStatus::ExitedBeforeReading, 0);
        if (std::chrono::steady_clock::now() - begun >=
            std::chrono::milliseconds(kConfigPipeConnectTimeoutMs))
            return finish(ConfigPipeStatus::ReadTimeout, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(kConfigPipePollIntervalMs));
    }

    // The reader holds it open now; nobody else needs the name.
    unlinkat(impl.directoryFd, impl.name.c_str(), 0);
    impl.linked = false;

    // Still non-blocking: a reader that opened the FIFO and never reads must not hold this thread
    // beyond the write deadline once the FIFO is full.
    SigpipeBlocker sigpipe;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConfigPipeWriteTimeoutMs);
    const char *data = config.data();
    std::size_t remaining = config.size();
    while (remaining > 0) {
        const ssize_t written = write(impl.writeFd, data, remaining);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return finish(ConfigPipeStatus::ReadTimeout, 0);
            pollfd waiting = {impl.writeFd, POLLOUT, 0};
            poll(&waiting, 1, static_cast<int>(left.count()) + 1);
            continue;
        }
        if (written < 0) {
            const int error = errno;
            if (error == EPIPE)
                sigpipe.discardRaised();
            return finish(ConfigPipeStatus::WriteFailed, error);
        }
        if (written == 0)
            return finish(ConfigPipeStatus::WriteFailed, EIO);
        data += written;
        remaining -= static_cast<std::size_t>(written);
    }
    // Data in a FIFO needs no flush: closing ends the reader's input once it has read the rest.
    return finish(ConfigPipeStatus::Ok, 0);
}

} // namespace nimbra::platform
