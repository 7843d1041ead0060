#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// The little the shared platform tests need from the system besides the platform headers: child
// processes (fork/exec on Linux, CreateProcess on Windows), files and pipes read whole, and sleeping.
// process_linux.cpp and process_win.cpp hold the two halves.
namespace nimbra::testing {

// Runs in the forked child before exec on Linux (async-signal-safe calls only); the argument is the
// parent's process id taken before the fork. Not called on Windows.
using ChildSetup = void (*)(std::int64_t parentPid) noexcept;

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool start(const std::string &program, const std::vector<std::string> &arguments,
               ChildSetup setup = nullptr);
    std::int64_t id() const { return m_id; }
    bool running();
    // True once the child has ended (within timeoutMs); exitCode() is valid then.
    bool waitForExit(int timeoutMs);
    int exitCode() const { return m_exitCode; }
    void kill(); // ends it at once, as a crash or a task manager would

private:
    std::int64_t m_id = 0;
    void *m_handle = nullptr; // Windows process handle
    bool m_ended = false;
    int m_exitCode = -1;
};

// A TCP socket listening on 127.0.0.1 that never accepts: its handshakes complete in the kernel's
// queue. port() is 0 when it could not be made; close() makes the port a refusing one.
class LoopbackListener
{
public:
    LoopbackListener();
    ~LoopbackListener() { close(); }
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    std::uint16_t port() const { return m_port; }
    void close();

private:
    std::intptr_t m_socket = -1;
    std::uint16_t m_port = 0;
};

// Whether a process with that id still runs (a zombie does not).
bool processRunning(std::int64_t processId);
void killProcess(std::int64_t processId);

// The directory of the running executable, with a trailing separator.
std::string executableDirectory();
// The helper program built beside the tests.
std::string helperProgram();

// A fresh directory for one test run, with a trailing separator.
inline std::string makeTemporaryDirectory()
{
    namespace fs = std::filesystem;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0;; ++attempt) {
        const fs::path path = fs::temp_directory_path() /
                              ("nimbra-tst-" + std::to_string(stamp) + "-" + std::to_string(attempt));
        std::error_code error;
        if (fs::create_directory(path, error))
            return (path / "").string();
        if (error || attempt > 100)
            return {};
    }
}

inline void removeTree(const std::string &directory)
{
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

// Opens a file or a pipe for reading and reads to its end; false when it cannot be opened or read.
bool readWhole(const std::string &path, std::string &data);

void sleepMs(int milliseconds);

// Linux: points the configuration pipes and the autostart entry (XDG runtime and configuration
// directories) into the directory. Windows: nothing to do (the wine prefix is the test's own).
void usePrivateUserDirectories(const std::string &directory);

} // namespace nimbra::testing
