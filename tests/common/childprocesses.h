// Live child processes of a test, by program: which run, what command each was given, and ending one
// as a crash or a task manager would. Linux reads /proc; Windows takes a process snapshot.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
// windows.h first.
#include <tlhelp32.h>
#include <winternl.h>

#include <string>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace testing {

#ifdef Q_OS_WIN
inline qint64 currentProcess()
{
    return static_cast<qint64>(GetCurrentProcessId());
}

// Live processes started from program by parent.
inline QList<qint64> childProcesses(const QString &program, qint64 parent = currentProcess())
{
    QList<qint64> ids;
    const QString name = QFileInfo(program).fileName();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (static_cast<qint64>(entry.th32ParentProcessID) == parent &&
            QString::fromWCharArray(entry.szExeFile).compare(name, Qt::CaseInsensitive) == 0)
            ids.append(static_cast<qint64>(entry.th32ProcessID));
    }
    CloseHandle(snapshot);
    return ids;
}

inline bool processAlive(qint64 id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process)
        return false;
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

// The first argument after the program (the core's command), or empty text: read from the process's
// own parameters block.
inline QString processCommand(qint64 id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(id));
    if (!process)
        return {};
    using Query = LONG(WINAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    QString line;
    if (query && query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
        std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
        if (ReadProcessMemory(process, parameters.CommandLine.Buffer, text.data(),
                              parameters.CommandLine.Length, nullptr))
            line = QString::fromStdWString(text);
    }
    CloseHandle(process);
    // The program (quoted or not), then the command.
    const QString rest = line.startsWith(QLatin1Char('"')) ? line.section(QLatin1Char('"'), 2)
                                                           : line.section(QLatin1Char(' '), 1);
    return rest.trimmed().section(QLatin1Char(' '), 0, 0);
}

// Ends it at once with exit code 1, as the task manager does.
inline void killProcess(qint64 id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id));
    if (process) {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
}
#else
inline qint64 currentProcess()
{
    return getpid();
}

// Live processes started from program by parent. Other tests may run the same program at the same
// time, so only the parent's own children count; zombies are dead.
inline QList<qint64> childProcesses(const QString &program, qint64 parent = currentProcess())
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().startsWith(program.toLocal8Bit() + '\0'))
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": the command name may hold spaces, so read after the last ')'.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(0) != "Z" && fields.at(1).toLongLong() == parent)
            pids.append(pid);
    }
    return pids;
}

inline bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return !text.mid(text.lastIndexOf(')') + 2).startsWith("Z");
}

// The first argument after the program (the core's command), or empty text.
inline QString processCommand(qint64 pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return cmdline.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(cmdline.readAll().split('\0').value(1))
                                             : QString();
}

inline void killProcess(qint64 pid)
{
    ::kill(static_cast<pid_t>(pid), SIGKILL);
}
#endif

} // namespace testing
