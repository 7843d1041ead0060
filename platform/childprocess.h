#pragma once

#include "platform/killonclose.h"

#include <cstdint>
#include <string>
#include <vector>

// Windows: how the client starts the core and its validator. The child is created suspended, put into
// the kill-on-close job, then resumed, so that it never runs a single instruction outside the job; it
// sees only the environment it is given, none of the elevated client's variables. (On Linux the
// network helper starts the core with its own fixed environment.)
namespace nimbra::platform {

// The fixed variables a child of the client gets: the system folders as PATH (and SystemRoot, without
// which Windows programs cannot use the network) and a UTF-8 LANG.
std::vector<std::string> baseChildEnvironment();

struct ChildProcessStart
{
    std::string program; // UTF-8 path of the executable, not looked up on the search path
    std::vector<std::string> arguments;
    std::string workingDirectory;         // empty: the client's own
    std::vector<std::string> environment; // "NAME=value" each; the child gets these and nothing else
    bool mergedOutput = false;            // standard error into the standard-output pipe
};

enum class ChildChannel
{
    Output,
    Error,
};

// One child at a time. Not thread-safe; use it from one thread.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess(); // kills a child that still runs
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts the child (ending an earlier one first). False with error = "进程无法启动 error=<code>"
    // when it could not be created. jobWarning receives KillOnCloseJob::assign's warning line when the
    // child could not be put into the job; it runs all the same then.
    bool start(const ChildProcessStart &start, KillOnCloseJob &job, std::string &error,
               std::string &jobWarning);

    bool started() const { return m_process != nullptr; }
    // Started and not yet ended.
    bool running();
    std::int64_t id() const { return m_id; }

    // What the child has written to the channel since the last call, without blocking. With merged
    // output everything is on ChildChannel::Output.
    std::string readAvailable(ChildChannel channel);
    // True once the child has ended (within timeoutMs; also when none was started). Its output is
    // taken in meanwhile, so that a child with much to say cannot block on a full pipe.
    bool waitForExit(int timeoutMs);
    // Valid after waitForExit returned true for a started child.
    unsigned long exitCode() const { return m_exitCode; }
    // Ended by kill() or by an exception, as opposed to returning from main.
    bool crashed() const;
    // Ends it at once; waitForExit tells when it is gone.
    void kill();

private:
    void drain();
    void close();

    void *m_process = nullptr;
    void *m_output = nullptr;
    void *m_error = nullptr;
    std::string m_outputText;
    std::string m_errorText;
    std::int64_t m_id = 0;
    bool m_ended = false;
    unsigned long m_exitCode = 0;
};

} // namespace nimbra::platform
