#include "configpipe.h"

#include "widetext_win.h"
#include <chrono>
#include <cstdint>
#include <windows.h>

#include <objbase.h>
#include <sddl.h>

namespace nimbra::platform {
namespace {

constexpr DWORD kMinimumOutputBuffer = 4096;

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

// SDDL text of the current user's SID, or empty with error set.
std::wstring currentUserSid(DWORD &error)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = GetLastError();
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::wstring text;
    std::string buffer(size, '\0');
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        wchar_t *sid = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &sid)) {
            text = sid;
            LocalFree(sid);
        }
    }
    if (text.empty())
        error = GetLastError();
    CloseHandle(token);
    return text;
}

// The pipe carries node credentials: only this user, SYSTEM and the Administrators may open it (the
// default descriptor would let any local process connect first and read them). Protected, so nothing
// is inherited.
struct PipeSecurity
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ~PipeSecurity()
    {
        if (descriptor)
            LocalFree(descriptor);
    }

    bool build(DWORD &error)
    {
        const std::wstring user = currentUserSid(error);
        if (user.empty())
            return false;
        const std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + user + L")";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                  nullptr)) {
            error = GetLastError();
            return false;
        }
        return true;
    }
};

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

ConfigPipeResult ConfigPipe::create(ConfigPipeUse use, std::size_t configSize, const std::string &)
{
    close();
    std::string hex;
    DWORD error = 0;
    if (!newUuidHex(hex, error))
        return makeConfigPipeResult(ConfigPipeStatus::CreateFailed, use, error);
    const std::string path = "\\\\.\\pipe\\nimbra-config-" + hex;
    PipeSecurity security;
    if (!security.build(error))
        return makeConfigPipeResult(ConfigPipeStatus::CreateFailed, use, error);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, security.descriptor, FALSE};
    // Non-blocking so that the connection can be polled while watching the reader process, and the
    // writing bounded whatever the reader does.
    HANDLE pipe =
        CreateNamedPipeW(widen(path).c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                         outputBufferSize(configSize), 0, 0, &attributes);
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

    // Still non-blocking: each write takes what fits into the pipe, and a reader that never reads
    // ends serving at the deadline. No FlushFileBuffers, which would wait for the reader without
    // bound: closing the server end (without disconnecting) leaves what was written readable.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConfigPipeWriteTimeoutMs);
    const char *data = config.data();
    std::size_t remaining = config.size();
    while (remaining > 0) {
        const DWORD chunk = remaining > MAXDWORD ? MAXDWORD : static_cast<DWORD>(remaining);
        DWORD written = 0;
        if (!WriteFile(pipe, data, chunk, &written, nullptr))
            return finish(ConfigPipeStatus::WriteFailed, GetLastError());
        data += written;
        remaining -= written;
        if (remaining == 0)
            break;
        if (std::chrono::steady_clock::now() >= deadline)
            return finish(ConfigPipeStatus::ReadTimeout, 0);
        if (written == 0)
            Sleep(kConfigPipePollIntervalMs);
    }
    return finish(ConfigPipeStatus::Ok, 0);
}

} // namespace nimbra::platform
