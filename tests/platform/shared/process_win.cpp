#include "platform/widetext_win.h"
#include "process.h"

#include <winsock2.h>

#include <windows.h>

namespace nimbra::testing {
namespace {

using nimbra::platform::widen;

std::string narrow(const std::wstring &wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                            nullptr, nullptr);
    return utf8;
}

// One argument quoted the way CommandLineToArgvW and the C runtime split it again.
void appendQuoted(std::wstring &line, const std::wstring &argument)
{
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_handle) {
        if (!m_ended) {
            kill();
            waitForExit(5000);
        }
        CloseHandle(static_cast<HANDLE>(m_handle));
    }
}

bool ChildProcess::start(const std::string &program, const std::vector<std::string> &arguments, ChildSetup)
{
    std::wstring line;
    appendQuoted(line, widen(program));
    for (const std::string &argument : arguments) {
        line += L' ';
        appendQuoted(line, widen(argument));
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = info.hProcess;
    m_id = info.dwProcessId;
    m_ended = false;
    m_exitCode = -1;
    return true;
}

bool ChildProcess::running()
{
    return m_handle && !waitForExit(0);
}

bool ChildProcess::waitForExit(int timeoutMs)
{
    if (!m_handle)
        return false;
    if (m_ended)
        return true;
    if (WaitForSingleObject(static_cast<HANDLE>(m_handle), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(m_handle), &code);
    m_exitCode = static_cast<int>(code);
    m_ended = true;
    return true;
}

void ChildProcess::kill()
{
    if (m_handle && !m_ended)
        TerminateProcess(static_cast<HANDLE>(m_handle), 9);
}

bool processRunning(std::int64_t processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (!process)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

void killProcess(std::int64_t processId)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId));
    if (process) {
        TerminateProcess(process, 9);
        CloseHandle(process);
    }
}

std::string executableDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return ".\\";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return narrow(path.substr(0, path.find_last_of(L"\\/") + 1));
}

std::string helperProgram()
{
    return executableDirectory() + "platform_test_helper.exe";
}

bool readWhole(const std::string &path, std::string &data)
{
    // As the core opens the configuration: a plain read-only open of the pipe's name.
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    data.clear();
    char buffer[16384];
    bool complete = false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            // The writer closing its end is the end of the data.
            complete = GetLastError() == ERROR_BROKEN_PIPE;
            break;
        }
        if (got == 0) {
            complete = true;
            break;
        }
        data.append(buffer, got);
    }
    CloseHandle(file);
    return complete;
}

void sleepMs(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

void usePrivateUserDirectories(const std::string &) {}

LoopbackListener::LoopbackListener()
{
    WSADATA data = {};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) // paired with the cleanup in close()
        return;
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        WSACleanup();
        return;
    }
    m_socket = static_cast<std::intptr_t>(socket);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(socket, reinterpret_cast<const sockaddr *>(&address), length) == 0 && listen(socket, 16) == 0 &&
        getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
}

void LoopbackListener::close()
{
    if (m_socket == -1)
        return;
    closesocket(static_cast<SOCKET>(m_socket));
    m_socket = -1;
    WSACleanup();
}

} // namespace nimbra::testing
