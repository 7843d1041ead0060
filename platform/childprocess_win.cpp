#include "childprocess.h"

#include "widetext_win.h"

#include <algorithm>
#include <utility>

namespace nimbra::platform {

namespace {

// What QProcess and the task manager's "end" leave as the exit code, so that a kill reads as a crash.
constexpr UINT kKilledExitCode = 0xf291;

// One argument as CommandLineToArgvW and the C runtime split it again: quoted when it has blanks or
// quotes, backslashes doubled only where a quote follows them.
std::wstring quoted(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring text = L"\"";
    for (auto it = argument.begin();; ++it) {
        std::size_t backslashes = 0;
        for (; it != argument.end() && *it == L'\\'; ++it)
            ++backslashes;
        if (it == argument.end()) {
            text.append(backslashes * 2, L'\\');
            break;
        }
        text.append(*it == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        text.push_back(*it);
    }
    text.push_back(L'"');
    return text;
}

std::wstring fittingPath(const wchar_t *path, UINT length)
{
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

// The read end stays with us (not inherited); the write end goes to the child.
bool makePipe(HANDLE &readEnd, HANDLE &writeEnd)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 65536))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void closeHandle(void *&handle)
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
    handle = nullptr;
}

void readInto(void *pipe, std::string &text)
{
    char buffer[4096];
    DWORD available = 0;
    while (pipe && PeekNamedPipe(static_cast<HANDLE>(pipe), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(pipe), buffer, sizeof buffer, &got, nullptr) || got == 0)
            return;
        text.append(buffer, got);
    }
}

} // namespace

std::vector<std::string> baseChildEnvironment()
{
    wchar_t path[MAX_PATH] = {};
    const std::wstring windows = fittingPath(path, GetSystemWindowsDirectoryW(path, MAX_PATH));
    const std::wstring system = fittingPath(path, GetSystemDirectoryW(path, MAX_PATH));
    return {"PATH=" + narrow(system + L";" + windows), "SystemRoot=" + narrow(windows), "LANG=C.UTF-8"};
}

ChildProcess::~ChildProcess()
{
    close();
}

void ChildProcess::close()
{
    if (m_process && !m_ended) {
        TerminateProcess(static_cast<HANDLE>(m_process), kKilledExitCode);
        WaitForSingleObject(static_cast<HANDLE>(m_process), 2000);
    }
    closeHandle(m_process);
    closeHandle(m_output);
    closeHandle(m_error);
    m_outputText.clear();
    m_errorText.clear();
    m_id = 0;
    m_ended = false;
    m_exitCode = 0;
}

bool ChildProcess::start(const ChildProcessStart &start, KillOnCloseJob &job, std::string &error,
                         std::string &jobWarning)
{
    close();
    const std::wstring program = widen(start.program);
    std::wstring line = quoted(program);
    for (const std::string &argument : start.arguments)
        line += L" " + quoted(widen(argument));
    // Sorted by name as Windows expects; each variable ends with a nul, the block with one more.
    std::vector<std::wstring> variables;
    for (const std::string &variable : start.environment)
        variables.push_back(widen(variable));
    std::sort(variables.begin(), variables.end(), [](const std::wstring &left, const std::wstring &right) {
        return _wcsicmp(left.c_str(), right.c_str()) < 0;
    });
    std::wstring environment;
    for (const std::wstring &variable : variables)
        environment += variable + L'\0';
    environment += L'\0';
    const std::wstring workingDirectory = widen(start.workingDirectory);

    HANDLE outputWrite = nullptr;
    HANDLE errorWrite = nullptr;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr);
    HANDLE outputRead = nullptr;
    HANDLE errorRead = nullptr;
    bool piped = input != INVALID_HANDLE_VALUE && makePipe(outputRead, outputWrite);
    if (piped && !start.mergedOutput)
        piped = makePipe(errorRead, errorWrite);
    m_output = outputRead;
    m_error = errorRead;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outputWrite;
    startup.hStdError = start.mergedOutput ? outputWrite : errorWrite;
    void *startupInfo = &startup;
    unsigned long flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW;
    // Inside the job from its creation where the system can do that; the assignment below otherwise.
    std::shared_ptr<void> keepAlive;
    job.prepareCreation(startupInfo, flags, keepAlive);
    PROCESS_INFORMATION info = {};
    const BOOL created =
        piped &&
        CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags, environment.data(),
                       workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                       static_cast<STARTUPINFOW *>(startupInfo), &info);
    const DWORD code = GetLastError();
    // The child holds its own copies now; ours would keep the pipes open after it ends.
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (outputWrite)
        CloseHandle(outputWrite);
    if (errorWrite)
        CloseHandle(errorWrite);
    if (!created) {
        close();
        error = "进程无法启动 error=" + std::to_string(code);
        return false;
    }
    m_process = info.hProcess;
    m_id = static_cast<std::int64_t>(info.dwProcessId);
    // Outside the job it runs all the same: the caller only logs that.
    job.assign(m_id, jobWarning);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return true;
}

bool ChildProcess::running()
{
    return m_process && !waitForExit(0);
}

void ChildProcess::drain()
{
    readInto(m_output, m_outputText);
    readInto(m_error, m_errorText);
}

std::string ChildProcess::readAvailable(ChildChannel channel)
{
    drain();
    std::string &text = channel == ChildChannel::Output ? m_outputText : m_errorText;
    return std::exchange(text, std::string());
}

bool ChildProcess::waitForExit(int timeoutMs)
{
    if (!m_process || m_ended)
        return true;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        drain();
        const ULONGLONG now = GetTickCount64();
        const DWORD slice = now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10));
        if (WaitForSingleObject(static_cast<HANDLE>(m_process), slice) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(static_cast<HANDLE>(m_process), &code);
            m_exitCode = code;
            m_ended = true;
            // What it wrote last is in the pipes still.
            drain();
            return true;
        }
        if (slice == 0)
            return false;
    }
}

bool ChildProcess::crashed() const
{
    return m_exitCode == kKilledExitCode || (m_exitCode >= 0x80000000ul && m_exitCode < 0xD0000000ul);
}

void ChildProcess::kill()
{
    if (m_process && !m_ended)
        TerminateProcess(static_cast<HANDLE>(m_process), kKilledExitCode);
}

} // namespace nimbra::platform
