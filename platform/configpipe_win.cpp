#include "configpipe.h"

#include <chrono>
#include <cstdint>
#include <windows.h>

#include <objbase.h>

namespace nimbra::platform {
namespace {

constexpr DWORD kMinimumOutputBuffer = 4096;

std::wstring widen(const std::string &utf8)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

bool newUuidHex(std::string &hex, DWORD &error)
{
    GUID guid = {};
    const HRESULT result = CoCreateGuid(&guid);
    if (FAILED(result)) {
        error = static_cast<DWORD>(result);
        return false;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto append = [&](std::uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            hex += kDigits[(value >> shift) & 0x0f];
    };
    hex.clear();
    append(guid.Data1, 8);
    append(guid.Data2, 4);
    append(guid.Data3, 4);
    for (unsigned char byte : guid.Data4)
        append(byte, 2);
    return true;
}

DWORD outputBufferSize(std::size_t configSize)
{
    if (configSize > static_cast<std::size_t>(MAXDWORD))
        return MAXDWORD;
    const auto size = static_cast<DWORD>(configSize);
    return size < kMinimumOutputBuffer ? kMinimumOutputBuffer : size;
}

} // namespace

struct ConfigPipe::Impl
{
    HANDLE pipe = INVALID_HANDLE_VALUE;
    std::string path;
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
    if (m_impl->pipe != INVALID_HANDLE_VALUE)
        CloseHandle(m_impl->pipe);
    *m_impl = Impl();
}

ConfigPipeResult ConfigPipe::create(ConfigPipeUse use, std::size_t configSize)
{
    close();
    std::string hex;
    DWORD error = 0;
    if (!newUuidHex(hex, error))
        return makeConfigPipeResult(ConfigPipeStatus::CreateFailed, use, error);
    const std::string path = "\\\\.\\pipe\\nimbra-config-" + hex;
    // Non-blocking so that the connection can be polled while watching the reader process.
    HANDLE pipe = CreateNamedPipeW(widen(path).c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1,
                                   outputBufferSize(configSize), 0, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return makeConfigPipeResult(ConfigPipeStatus::CreateFailed, use, GetLastError());
    m_impl->pipe = pipe;
    m_impl->path = path;
    return {};
}

ConfigPipeResult ConfigPipe::serve(std::string_view config, const std::function<bool()> &processRunning)
{
    HANDLE pipe = m_impl->pipe;
    const auto finish = [&](ConfigPipeStatus status, DWORD error) {
        close();
        return makeConfigPipeResult(status, ConfigPipeUse::Run, error);
    };
    if (pipe == INVALID_HANDLE_VALUE)
        return finish(ConfigPipeStatus::ConnectFailed, ERROR_INVALID_HANDLE);

    const auto begun = std::chrono::steady_clock::now();
    for (;;) {
        if (ConnectNamedPipe(pipe, nullptr))
            break;
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED)
            break;
        if (error != ERROR_PIPE_LISTENING)
            return finish(ConfigPipeStatus::ConnectFailed, error);
        if (processRunning && !processRunning())
            return finish(ConfigPipeStatus::ExitedBeforeReading, 0);
        if (std::chrono::steady_clock::now() - begun >=
            std::chrono::milliseconds(kConfigPipeConnectTimeoutMs))
            return finish(ConfigPipeStatus::ReadTimeout, 0);
        Sleep(kConfigPipePollIntervalMs);
    }

    DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
    if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr))
        return finish(ConfigPipeStatus::WriteFailed, GetLastError());

    const char *data = config.data();
    std::size_t remaining = config.size();
    while (remaining > 0) {
        const DWORD chunk = remaining > MAXDWORD ? MAXDWORD : static_cast<DWORD>(remaining);
        DWORD written = 0;
        if (!WriteFile(pipe, data, chunk, &written, nullptr) || written == 0)
            return finish(ConfigPipeStatus::WriteFailed, GetLastError());
        data += written;
        remaining -= written;
    }
    // Returns once the reader has taken everything, so closing cannot cut the configuration short.
    FlushFileBuffers(pipe);
    return finish(ConfigPipeStatus::Ok, 0);
}

} // namespace nimbra::platform
