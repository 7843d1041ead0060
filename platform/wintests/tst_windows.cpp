// Windows-only behaviour of platform/, checked against the system itself (run under wine by
// scripts/wine-tests.sh): administrator check, AppUserModelID, native window icon, the interface table
// as GetIfTable delivers it, the named pipe's shape and the job object. What both halves share is in
// tests/platform/shared/tst_platform_shared.cpp.
#include "check.h"
#include "process.h"

#include "platform/configpipe.h"
#include "platform/elevation.h"
#include "platform/identity.h"
#include "platform/killonclose.h"
#include "platform/netcounters.h"

#include <windows.h>

#include <iphlpapi.h>

#include <cstring>
#include <memory>

using namespace nimbra::platform;
using nimbra::testing::Checks;
namespace testing = nimbra::testing;

namespace {

bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring widen(const std::string &utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return wide;
}

std::string winHelper()
{
    return testing::executableDirectory() + "win_helper.exe";
}

// Runs win_helper.exe with the arguments and returns its exit code (-1 when it did not end in time).
int runWinHelper(const std::vector<std::string> &arguments)
{
    testing::ChildProcess helper;
    if (!helper.start(winHelper(), arguments))
        return -2;
    return helper.waitForExit(20000) ? helper.exitCode() : -1;
}

// Membership of the Administrators group as the token lists it, to compare isElevated() with.
std::optional<bool> tokenHasEnabledAdministrators()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::optional<bool> member;
    if (size > 0 && GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
        SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
        PSID administrators = nullptr;
        if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                     0, 0, 0, 0, 0, &administrators)) {
            member = false;
            const auto *groups = reinterpret_cast<const TOKEN_GROUPS *>(buffer.data());
            for (DWORD i = 0; i < groups->GroupCount; ++i) {
                const SID_AND_ATTRIBUTES &group = groups->Groups[i];
                if (EqualSid(group.Sid, administrators) && (group.Attributes & SE_GROUP_ENABLED) &&
                    !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY))
                    member = true;
            }
            FreeSid(administrators);
        }
    }
    CloseHandle(token);
    return member;
}

void administratorCheck(Checks &checks)
{
    checks.group("administrator check");
    const auto expected = tokenHasEnabledAdministrators();
    if (!checks.check(expected.has_value(), "the token's groups can be read"))
        return;
    const bool elevated = isElevated();
    checks.equal(elevated, *expected, "agrees with the token's enabled Administrators group");
    checks.equal(isElevated(), elevated, "asking again gives the same answer");
}

void appUserModelId(Checks &checks)
{
    checks.group("AppUserModelID");
    const bool loadedBefore = GetModuleHandleW(L"shell32.dll") != nullptr;
    setProcessAppUserModelId(kAppUserModelId);
    if (!loadedBefore)
        checks.check(GetModuleHandleW(L"shell32.dll") == nullptr, "shell32 is unloaded again");

    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    using GetAppIdFn = HRESULT(WINAPI *)(PWSTR *);
    const auto getAppId = shell32 ? reinterpret_cast<GetAppIdFn>(reinterpret_cast<void *>(
                                        GetProcAddress(shell32, "GetCurrentProcessExplicitAppUserModelID")))
                                  : nullptr;
    PWSTR id = nullptr;
    if (getAppId && SUCCEEDED(getAppId(&id)) && id) {
        checks.check(std::wcscmp(id, L"Nimbra.Desktop.Accelerator") == 0, "the process carries the id");
        CoTaskMemFree(id);
    } else {
        checks.skip("the process carries the id", "this system does not report a process's id");
    }
    if (shell32)
        FreeLibrary(shell32);

    // A shell32 without the function (older systems). Wine loads a stand-in for one program when its
    // per-program DLL overrides say so; the environment's WINEDLLOVERRIDES does not reach children.
    if (!underWine()) {
        checks.skip("harmless without the function", "shell32 can only be replaced under wine");
        return;
    }
    const wchar_t *const programKey = L"Software\\Wine\\AppDefaults\\win_helper.exe";
    HKEY overrides = nullptr;
    const std::wstring value = L"native";
    const bool overridden =
        RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(programKey) + L"\\DllOverrides").c_str(), 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &overrides, nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(overrides, L"shell32", 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    if (overrides)
        RegCloseKey(overrides);
    if (checks.check(overridden, "the stand-in is set up for the helper"))
        checks.equal(runWinHelper({"aumid-without-function"}), 0,
                     "harmless when shell32 lacks the function (helper exit code)");
    RegDeleteTreeW(HKEY_CURRENT_USER, programKey);
}

struct IconHandles
{
    HICON big = nullptr;
    HICON small = nullptr;
    HICON classBig = nullptr;
    HICON classSmall = nullptr;
};

IconHandles iconsOf(HWND window)
{
    return {reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)),
            reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)),
            reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON)),
            reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM))};
}

int iconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

void nativeWindowIcon(Checks &checks)
{
    checks.group("window icon");
    const NativeIconResult none = applyNativeWindowIcon(0);
    checks.check(none.complete && none.lastError == 0, "no window, nothing to do");

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NimbraIconTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!checks.check(window != nullptr, "a window to set the icon on",
                      "CreateWindowExW error " + std::to_string(GetLastError())))
        return;
    const NativeIconResult applied = applyNativeWindowIcon(reinterpret_cast<std::uintptr_t>(window));
    checks.check(applied.complete && applied.lastError == 0, "icon 101 of the executable loads",
                 std::to_string(applied.lastError));
    const IconHandles icons = iconsOf(window);
    checks.check(icons.big && icons.small, "big and small icons are set on the window");
    checks.check(icons.classBig == icons.big && icons.classSmall == icons.small,
                 "the window class carries the same icons");
    const int large = GetSystemMetrics(SM_CXICON);
    checks.equal(iconWidth(icons.big), large, "the big icon has the system's large size");
    checks.equal(iconWidth(icons.small), large, "the small one is loaded at the large size too");
    DestroyWindow(window);

    // An executable without icon 101 reports the failure and sets nothing.
    checks.equal(runWinHelper({"icon-missing"}), 0, "a missing icon is reported (helper exit code)");
}

// GetIfTable as netcounters_win.cpp sees it. This definition takes the place of the import library's,
// so that the code's handling of the table can be driven with rows no machine has.
enum class IfTableMode
{
    Live,
    Synthetic,
    SizeQueryFails,
    ZeroSize,
    FillFails,
};

struct IfTableCall
{
    bool withTable = false;
    ULONG size = 0;
    BOOL order = TRUE;
};

IfTableMode g_ifTableMode = IfTableMode::Live;
std::vector<MIB_IFROW> g_ifRows;
std::vector<IfTableCall> g_ifCalls;

MIB_IFROW ifRow(const char *description, DWORD operStatus, DWORD type, DWORD in, DWORD out,
                DWORD extraLength = 0)
{
    MIB_IFROW row = {};
    const std::size_t length = std::strlen(description);
    std::memcpy(row.bDescr, description, length);
    // Windows counts the terminating zero in the length; some drivers report even more.
    row.dwDescrLen = static_cast<DWORD>(length + 1 + extraLength);
    row.dwOperStatus = operStatus;
    row.dwType = type;
    row.dwInOctets = in;
    row.dwOutOctets = out;
    return row;
}

DWORD realGetIfTable(PMIB_IFTABLE table, PULONG size, WINBOOL order)
{
    using GetIfTableFn = DWORD(WINAPI *)(PMIB_IFTABLE, PULONG, WINBOOL);
    static const auto real = reinterpret_cast<GetIfTableFn>(
        reinterpret_cast<void *>(GetProcAddress(LoadLibraryW(L"iphlpapi.dll"), "GetIfTable")));
    return real ? real(table, size, order) : ERROR_PROC_NOT_FOUND;
}

} // namespace

extern "C" DWORD WINAPI GetIfTable(PMIB_IFTABLE table, PULONG size, WINBOOL order)
{
    g_ifCalls.push_back({table != nullptr, size ? *size : 0, order});
    if (g_ifTableMode == IfTableMode::Live)
        return realGetIfTable(table, size, order);
    if (g_ifTableMode == IfTableMode::SizeQueryFails)
        return ERROR_NOT_SUPPORTED;
    const ULONG needed =
        static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + sizeof(MIB_IFROW) * g_ifRows.size());
    if (g_ifTableMode == IfTableMode::ZeroSize) {
        *size = 0;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (!table || *size < needed || (g_ifTableMode == IfTableMode::FillFails && g_ifCalls.size() > 1)) {
        // As when an interface appeared between the two calls.
        *size = needed + (table ? sizeof(MIB_IFROW) : 0);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = static_cast<DWORD>(g_ifRows.size());
    std::memcpy(table->table, g_ifRows.data(), sizeof(MIB_IFROW) * g_ifRows.size());
    return NO_ERROR;
}

namespace {

void interfaceTable(Checks &checks)
{
    checks.group("interface table");
    g_ifTableMode = IfTableMode::Synthetic;
    g_ifRows = {
        ifRow("Ethernet", IF_OPER_STATUS_OPERATIONAL, IF_TYPE_ETHERNET_CSMACD, 0xffffffffu, 0xfffffff0u),
        ifRow("Wi-Fi", IF_OPER_STATUS_OPERATIONAL, IF_TYPE_IEEE80211, 0xffffffffu, 0x20u, 3),
        ifRow("Loopback Pseudo-Interface 1", IF_OPER_STATUS_OPERATIONAL, IF_TYPE_SOFTWARE_LOOPBACK, 1000,
              1000),
        ifRow("Nimbra TUN", IF_OPER_STATUS_OPERATIONAL, IF_TYPE_TUNNEL, 1000, 1000),
        ifRow("Unplugged", IF_OPER_STATUS_DISCONNECTED, IF_TYPE_ETHERNET_CSMACD, 1000, 1000),
        ifRow("Connecting", IF_OPER_STATUS_CONNECTING, IF_TYPE_IEEE80211, 1000, 1000),
        ifRow("PPP", IF_OPER_STATUS_OPERATIONAL, IF_TYPE_PPP, 7, 9),
    };
    g_ifCalls.clear();
    const auto rows = readInterfaceCounterRows();
    if (checks.check(rows && rows->size() == g_ifRows.size(), "every row of the table is read")) {
        checks.equal((*rows)[0].name, "Ethernet", "the description is the name, without its zero");
        checks.equal((*rows)[1].name, "Wi-Fi", "a length past the text stops at the text");
        checks.check((*rows)[2].loopback && (*rows)[3].tunnel && !(*rows)[4].operational &&
                         !(*rows)[5].operational && (*rows)[6].operational,
                     "loopback, tunnel and not-operational rows are recognised");
        checks.check((*rows)[0].receivedBytes == 0xffffffffu && (*rows)[0].sentBytes == 0xfffffff0u,
                     "in octets are received, out octets sent");
    }
    const bool sizeFirst = g_ifCalls.size() == 2 && !g_ifCalls[0].withTable && g_ifCalls[1].withTable;
    checks.check(sizeFirst, "asked for the size first, then filled",
                 std::to_string(g_ifCalls.size()) + " calls");
    if (sizeFirst) {
        checks.equal(g_ifCalls[1].size,
                     static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + sizeof(MIB_IFROW) * g_ifRows.size()),
                     "the buffer has the size the system asked for");
        checks.check(!g_ifCalls[0].order && !g_ifCalls[1].order, "unsorted");
    }
    const auto totals = readInterfaceByteTotals();
    checks.check(totals && *totals == ByteTotals{0x1fffffffeull + 7, 0x100000010ull + 9},
                 "32-bit counters of the counted rows add up in 64 bits",
                 totals ? std::to_string(totals->received) + "/" + std::to_string(totals->sent)
                        : "no totals");

    g_ifRows.clear();
    const auto empty = readInterfaceByteTotals();
    checks.check(empty && *empty == ByteTotals{}, "a table without rows gives zero totals");

    for (const auto &[mode, what] :
         {std::pair{IfTableMode::SizeQueryFails, "the size query fails"},
          std::pair{IfTableMode::ZeroSize, "the size query reports no size"},
          std::pair{IfTableMode::FillFails, "the table grows between the calls"}}) {
        g_ifTableMode = mode;
        g_ifCalls.clear();
        checks.check(!readInterfaceCounterRows() && !readInterfaceByteTotals(),
                     std::string("nothing when ") + what);
    }

    g_ifTableMode = IfTableMode::Live;
    ULONG size = 0;
    DWORD liveEntries = 0;
    if (realGetIfTable(nullptr, &size, FALSE) == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<unsigned char> buffer(size);
        if (realGetIfTable(reinterpret_cast<MIB_IFTABLE *>(buffer.data()), &size, FALSE) == NO_ERROR)
            liveEntries = reinterpret_cast<MIB_IFTABLE *>(buffer.data())->dwNumEntries;
    }
    const auto live = readInterfaceCounterRows();
    checks.check(live.has_value(), "the live call succeeds");
    checks.check(live && live->size() == liveEntries && liveEntries > 0, "it has the system's rows",
                 std::to_string(live ? live->size() : 0) + " of " + std::to_string(liveEntries));
    checks.check(readInterfaceByteTotals().has_value(), "the live totals are read");
}

void namedPipe(Checks &checks)
{
    checks.group("named pipe");
    ConfigPipe pipe;
    if (!checks.check(pipe.create(ConfigPipeUse::Run, 100000).ok(), "created"))
        return;
    const std::wstring name = widen(pipe.path());
    HANDLE again = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096,
                                    0, 0, nullptr);
    checks.check(again == INVALID_HANDLE_VALUE, "no second instance can be made under its name");
    if (again != INVALID_HANDLE_VALUE)
        CloseHandle(again);

    HANDLE writer =
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    checks.check(writer == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED,
                 "outbound only: a client cannot open it for writing");
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);

    HANDLE reader = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (checks.check(reader != INVALID_HANDLE_VALUE, "a client can open it for reading")) {
        DWORD flags = 0;
        DWORD outBuffer = 0;
        DWORD instances = 0;
        checks.check(GetNamedPipeInfo(reader, &flags, &outBuffer, nullptr, &instances) &&
                         !(flags & PIPE_SERVER_END) && !(flags & PIPE_TYPE_MESSAGE) && instances == 1,
                     "a byte pipe of one instance", std::to_string(flags) + "/" + std::to_string(instances));
        checks.equal(outBuffer, 100000ul, "the output buffer holds the whole configuration");
        HANDLE second = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        checks.check(second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY,
                     "a second client finds it busy");
        if (second != INVALID_HANDLE_VALUE)
            CloseHandle(second);
        // A client that came and went before serving began is a connection failure, not a time-out.
        CloseHandle(reader);
        const ConfigPipeResult result = pipe.serve("{}", {});
        checks.check(result.status == ConfigPipeStatus::ConnectFailed && result.systemError == ERROR_NO_DATA,
                     "a client that has gone again ends serving at once", result.message);
    }
    pipe.close();
    HANDLE gone = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    checks.check(gone == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND,
                 "once closed the name is gone");
    if (gone != INVALID_HANDLE_VALUE)
        CloseHandle(gone);

    {
        // A client that connected before serving began ("already connected") gets everything too.
        const std::string config(300 * 1024, 'c');
        ConfigPipe early;
        checks.check(early.create(ConfigPipeUse::Run, config.size()).ok(), "created for an early client");
        HANDLE client =
            CreateFileW(widen(early.path()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (checks.check(client != INVALID_HANDLE_VALUE, "the early client connected")) {
            // Read from a thread: serving returns only once the client has taken everything.
            struct Reading
            {
                HANDLE client;
                std::string data;
            } reading{client, {}};
            const auto readAll = [](void *context) -> DWORD {
                auto &state = *static_cast<Reading *>(context);
                char buffer[8192];
                DWORD got = 0;
                while (ReadFile(state.client, buffer, sizeof buffer, &got, nullptr) && got > 0)
                    state.data.append(buffer, got);
                return 0;
            };
            HANDLE thread = CreateThread(nullptr, 0, readAll, &reading, 0, nullptr);
            const ConfigPipeResult served = early.serve(config, {});
            checks.check(served.ok(), "served to the early client", served.message);
            checks.check(thread && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
                             reading.data == config,
                         "the early client got all of it", std::to_string(reading.data.size()) + " bytes");
            if (thread)
                CloseHandle(thread);
            CloseHandle(client);
        }
    }

    ConfigPipe small;
    if (checks.check(small.create(ConfigPipeUse::Validation, 16).ok(), "created for a small configuration")) {
        HANDLE client =
            CreateFileW(widen(small.path()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD size = 0;
        checks.check(client != INVALID_HANDLE_VALUE &&
                         GetNamedPipeInfo(client, nullptr, &size, nullptr, nullptr) && size == 4096,
                     "a small configuration still gets a 4096-byte buffer", std::to_string(size));
        if (client != INVALID_HANDLE_VALUE)
            CloseHandle(client);
    }
}

bool inAJob(std::int64_t processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(processId));
    BOOL inJob = FALSE;
    const bool asked = process && IsProcessInJob(process, nullptr, &inJob);
    if (process)
        CloseHandle(process);
    return asked && inJob;
}

void jobObject(Checks &checks)
{
    checks.group("job");
    auto job = std::make_unique<KillOnCloseJob>();
    testing::ChildProcess assigned;
    testing::ChildProcess bystander;
    const bool started = assigned.start(testing::helperProgram(), {"sleep", "30000"}) &&
                         bystander.start(testing::helperProgram(), {"sleep", "30000"});
    if (!checks.check(started, "two children started", "error " + std::to_string(GetLastError())))
        return;
    std::string warning;
    checks.check(job->assign(assigned.id(), warning) && warning.empty(), "a child is put into the job",
                 warning);
    checks.check(inAJob(assigned.id()) && !inAJob(bystander.id()), "only that child is in a job");
    checks.check(assigned.running(), "it runs while the job is open");

    job.reset();
    checks.check(assigned.waitForExit(3000), "it dies when the job handle is closed");
    checks.check(bystander.running(), "a child outside the job goes on");

    KillOnCloseJob other;
    const bool assignedGone = other.assign(0x7ffffff0, warning);
    const std::string prefix = "[Accelerator] 无法将内核加入 Windows Job Object error=";
    checks.check(!assignedGone && warning.rfind(prefix, 0) == 0 && warning.size() > prefix.size() &&
                     warning.substr(prefix.size()) != "0",
                 "a process that cannot be opened gives the warning line with its error code", warning);
}

} // namespace

int main()
{
    Checks checks;
    administratorCheck(checks);
    appUserModelId(checks);
    nativeWindowIcon(checks);
    interfaceTable(checks);
    namedPipe(checks);
    jobObject(checks);
    return checks.finish();
}
