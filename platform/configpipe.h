#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Hands the core its configuration (which holds node passwords) through a pipe instead of a file.
// Windows: a named pipe "\\.\pipe\nimbra-config-<32 hex digits>" that only this user, SYSTEM and the
// Administrators can open, and no remote client. Linux: a FIFO of that name inside a private directory
// (mode 0700, owned by this user; an existing one of ours with a wider mode is tightened) under the
// user's private runtime folder (privateRuntimeDirectory: $XDG_RUNTIME_DIR, else the user's own folder
// given to create; /run only when no folder is given, which only root can use), removed as soon as the
// reader has opened it or the pipe is abandoned.
namespace nimbra::platform {

// Which start phase the pipe is for; only the creation failure text differs.
enum class ConfigPipeUse
{
    Validation,
    Run,
};

enum class ConfigPipeStatus
{
    Ok,
    CreateFailed,
    ConnectFailed,
    ExitedBeforeReading,
    ReadTimeout,
    WriteFailed,
};

struct ConfigPipeResult
{
    ConfigPipeStatus status = ConfigPipeStatus::Ok;
    unsigned long systemError = 0; // errno or GetLastError() where the status has one
    std::string message;           // user-facing UTF-8 text; empty when ok. Never holds configuration data.

    bool ok() const { return status == ConfigPipeStatus::Ok; }
};

// Builds a result with its user-facing text ("%1" replaced by the system error code; a path, when
// given, follows the text so that the user can see which folder or file is at fault).
ConfigPipeResult makeConfigPipeResult(ConfigPipeStatus status, ConfigPipeUse use, unsigned long systemError,
                                      std::string_view path = {});

inline constexpr int kConfigPipePollIntervalMs = 10;
inline constexpr int kConfigPipeConnectTimeoutMs = 2000;
// Once connected, the configuration must be in the pipe within this time, whatever the reader does;
// a reader that never takes it ends serving with the read time-out.
inline constexpr int kConfigPipeWriteTimeoutMs = 2000;

// One pipe serves one configuration to one reader. Not thread-safe; use it from one thread.
class ConfigPipe
{
public:
    ConfigPipe();
    ~ConfigPipe(); // close()
    ConfigPipe(const ConfigPipe &) = delete;
    ConfigPipe &operator=(const ConfigPipe &) = delete;

    // Creates a fresh pipe (closing any earlier one). configSize sizes the Windows output buffer;
    // ownFolder is the Linux fallback for a missing runtime folder (see above).
    ConfigPipeResult create(ConfigPipeUse use, std::size_t configSize, const std::string &ownFolder = {});

    // The path to give the core after "-c" (UTF-8); empty when no pipe is open.
    const std::string &path() const;

    // Waits for the reader (polling every 10 ms for up to 2000 ms, asking processRunning each time
    // whether the reader process still runs; an empty function counts as running), then puts the whole
    // configuration into the pipe within kConfigPipeWriteTimeoutMs. It does not wait for the reader to
    // take it: what is in the pipe stays readable after the close.
    // The pipe is closed afterwards in every case, which ends the reader's input.
    ConfigPipeResult serve(std::string_view config, const std::function<bool()> &processRunning);

    // Closes the pipe and removes its name; safe to call at any time.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace nimbra::platform
