// Windows-only behaviour of platform/, checked against the system itself (run under wine by
// scripts/wine-tests.sh): administrator check, AppUserModelID, native window icon, the interface table
// as GetIfTable delivers it, the named pipe's shape and the job object. What both halves share is in
// tests/platform/shared/tst_platform_shared.cpp.
#include "check.h"
#include "process.h"

#include "platform/autostart.h"
#include "platform/childprocess.h"
#include "platform/configpipe.h"
#include "platform/elevation.h"
#include "platform/identity.h"
#include "platform/killonclose.h"
#include "platform/netcounters.h"
#include "platform/routecommand.h"

#include <windows.h>

#include <aclapi.h>
#include <iphlpapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

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
    checks.check(!readInterfaceByteTotals(std::string("Nimbra no such adapter")) &&
                     !readInterfaceByteTotals(std::string()),
                 "no counters by an alias no adapter has");
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

// The current user's SID as text.
std::string userSid()
{
    HANDLE token = nullptr;
    std::string text;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return text;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    char *sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// The trustees of the allowing entries of a handle's access list, sorted, joined by spaces; entries
// of any other kind show as "?".
std::string allowedTrustees(HANDLE handle)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return "error " + std::to_string(error);
    std::vector<std::string> trustees;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void *ace = nullptr;
        char *sid = nullptr;
        if (GetAce(dacl, i, &ace) && static_cast<ACE_HEADER *>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
            ConvertSidToStringSidA(&static_cast<ACCESS_ALLOWED_ACE *>(ace)->SidStart, &sid)) {
            trustees.push_back(sid);
            LocalFree(sid);
        } else {
            trustees.push_back("?");
        }
    }
    LocalFree(descriptor);
    std::sort(trustees.begin(), trustees.end());
    std::string joined = dacl ? "" : "no access list";
    for (const std::string &trustee : trustees)
        joined += (joined.empty() ? "" : " ") + trustee;
    return joined;
}

// Serves from a thread of its own, so that a serve that never ends shows as a failure, not a hang.
// True when it ended within timeoutMs; result holds its result then.
bool serveWithin(ConfigPipe &pipe, const std::string &config, int timeoutMs, ConfigPipeResult &result)
{
    struct Serving
    {
        ConfigPipe *pipe;
        const std::string *config;
        ConfigPipeResult result;
    };
    auto *serving = new Serving{&pipe, &config, {}};
    const auto serve = [](void *context) -> DWORD {
        auto *state = static_cast<Serving *>(context);
        state->result = state->pipe->serve(*state->config, {});
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, serve, serving, 0, nullptr);
    const bool ended = thread && WaitForSingleObject(thread, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    if (thread)
        CloseHandle(thread);
    if (!ended)
        return false; // the thread and its state are abandoned to the end of the process
    result = serving->result;
    delete serving;
    return true;
}

void pipeAccessAndServingTime(Checks &checks)
{
    checks.group("named pipe access and serving time");
    {
        ConfigPipe secured;
        if (!checks.check(secured.create(ConfigPipeUse::Validation, 64).ok(), "created"))
            return;
        HANDLE client = CreateFileW(widen(secured.path()).c_str(), GENERIC_READ | READ_CONTROL, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (checks.check(client != INVALID_HANDLE_VALUE, "this user can open it")) {
            std::vector<std::string> expected{"S-1-5-18", "S-1-5-32-544", userSid()};
            std::sort(expected.begin(), expected.end());
            checks.equal(allowedTrustees(client), expected[0] + " " + expected[1] + " " + expected[2],
                         "only this user, SYSTEM and the Administrators are let in");
            // Served before the client reads anything: what was written is still there after the close.
            const std::string config = "{\"password\":\"pw\"}";
            ConfigPipeResult served;
            checks.check(serveWithin(secured, config, 5000, served) && served.ok(), "served", served.message);
            std::string received;
            char buffer[256];
            DWORD got = 0;
            while (ReadFile(client, buffer, sizeof buffer, &got, nullptr) && got > 0)
                received.append(buffer, got);
            checks.equal(received, config, "the client reads all of it afterwards");
            CloseHandle(client);
        }
    }
    // A client that connects and never reads: serving ends all the same, within its time limits.
    for (const std::size_t bufferSize : {std::size_t(4 * 1024 * 1024), std::size_t(16)}) {
        const std::string config(4 * 1024 * 1024, 'n');
        ConfigPipe pipe;
        if (!checks.check(pipe.create(ConfigPipeUse::Run, bufferSize).ok(), "created"))
            return;
        HANDLE client =
            CreateFileW(widen(pipe.path()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ConfigPipeResult result;
        const DWORD begun = GetTickCount();
        const bool ended = serveWithin(pipe, config, 10000, result);
        const std::string what = "with a " + std::to_string(bufferSize) + "-byte buffer";
        checks.check(ended && GetTickCount() - begun <= kConfigPipeWriteTimeoutMs + 1500,
                     "serving to a client that never reads ends " + what,
                     ended ? result.message : "still serving after 10 s");
        checks.check(!ended || result.ok() || result.status == ConfigPipeStatus::ReadTimeout,
                     "and ends as served or as the read time-out " + what, result.message);
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

void jobAtCreation(Checks &checks)
{
    checks.group("job at creation");
    auto job = std::make_unique<KillOnCloseJob>();
    const std::wstring program = widen(testing::helperProgram());
    std::wstring line = L"\"" + program + L"\" sleep 30000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    void *startupInfo = &startup;
    unsigned long flags = CREATE_SUSPENDED;
    std::shared_ptr<void> keepAlive;
    if (!checks.check(job->prepareCreation(startupInfo, flags, keepAlive),
                      "the creation arguments name the job"))
        return;
    checks.check(startupInfo != &startup && (flags & EXTENDED_STARTUPINFO_PRESENT) &&
                     (flags & CREATE_SUSPENDED),
                 "extended startup information, the other flags kept");
    PROCESS_INFORMATION process = {};
    if (!checks.check(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                     nullptr, static_cast<STARTUPINFOW *>(startupInfo), &process),
                      "created", "error " + std::to_string(GetLastError())))
        return;
    checks.check(inAJob(process.dwProcessId), "in the job before it ran any code");
    std::string warning;
    checks.check(job->assign(process.dwProcessId, warning), "assigning it afterwards is no failure", warning);
    ResumeThread(process.hThread);
    job.reset();
    checks.check(WaitForSingleObject(process.hProcess, 3000) == WAIT_OBJECT_0,
                 "it dies when the job handle is closed");
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    KillOnCloseJob other;
    void *untouched = &startup;
    unsigned long plain = 0;
    checks.check(other.prepareCreation(untouched, plain, keepAlive) && untouched != &startup,
                 "every job can do it");
}

void childProcess(Checks &checks)
{
    checks.group("child process");
    // Must not reach the child.
    SetEnvironmentVariableA("NIMBRA_PARENT_ONLY", "1");
    auto job = std::make_unique<KillOnCloseJob>();
    const std::vector<std::string> arguments = {"print", "two words", "say \"hi\"", "C:\\dir\\", ""};
    std::vector<std::string> environment = baseChildEnvironment();
    environment.push_back("NIMBRA_STUB_CORE_MODE=slow start");
    ChildProcess printer;
    std::string error;
    std::string warning;
    if (checks.check(printer.start({winHelper(), arguments, {}, environment}, *job, error, warning),
                     "started", error)) {
        checks.check(warning.empty() && inAJob(printer.id()), "in the job", warning);
        checks.check(printer.waitForExit(10000) && printer.exitCode() == 0 && !printer.crashed(), "ended");
        std::vector<std::string> expected(arguments.begin() + 1, arguments.end());
        expected.push_back("--");
        std::vector<std::string> printed;
        std::istringstream lines(printer.readAvailable(ChildChannel::Output));
        for (std::string line; std::getline(lines, line);) {
            // Wine adds its own variables to every process it starts.
            if (!underWine() || (line.rfind("WINE", 0) != 0 && line.rfind("SystemDrive=", 0) != 0))
                printed.push_back(line);
        }
        // The system keeps the block sorted by name.
        const auto sortedFrom = [](std::vector<std::string> &list, std::size_t from) {
            std::sort(list.begin() + static_cast<std::ptrdiff_t>(std::min(from, list.size())), list.end());
        };
        expected.insert(expected.end(), environment.begin(), environment.end());
        sortedFrom(expected, arguments.size());
        sortedFrom(printed, arguments.size());
        checks.check(printed == expected, "arguments as given and exactly the given environment",
                     std::to_string(printed.size()) + " lines");
        checks.equal(printer.readAvailable(ChildChannel::Error), std::string("on the error channel"),
                     "standard error apart");
    }

    ChildProcess sleeper;
    if (checks.check(sleeper.start({testing::helperProgram(), {"sleep", "30000"}, {}, environment, true},
                                   *job, error, warning),
                     "a second child started", error)) {
        checks.check(!sleeper.waitForExit(200) && sleeper.running(), "it runs while the job is open");
        job.reset();
        checks.check(sleeper.waitForExit(3000), "it dies when the job handle is closed");
    }

    KillOnCloseJob other;
    ChildProcess killed;
    if (checks.check(killed.start({testing::helperProgram(), {"sleep", "30000"}, {}, environment}, other,
                                  error, warning),
                     "a third child started", error)) {
        killed.kill();
        checks.check(killed.waitForExit(3000) && killed.crashed(), "a killed child reads as crashed");
    }
    ChildProcess missing;
    checks.check(
        !missing.start({testing::executableDirectory() + "no-such-core.exe", {"run"}, {}, environment}, other,
                       error, warning) &&
            error == "进程无法启动 error=2" && !missing.started(),
        "a missing program gives its error code", error);
    SetEnvironmentVariableA("NIMBRA_PARENT_ONLY", nullptr);
}

// Runs a command line, its program found on the search path, with standard output and error
// captured; its exit code, or a negative number when it did not start or end.
int runCaptured(std::wstring line, std::string &output)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return -2;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(writeEnd);
    output.clear();
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.append(buffer, got);
    }
    CloseHandle(readEnd);
    if (!started)
        return -2;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return ended ? static_cast<int>(code) : -1;
}

void routeCommandsEndToEnd(Checks &checks)
{
    checks.group("route.exe");
    const std::string directory = testing::makeTemporaryDirectory();
    const std::string standIn = testing::executableDirectory() + "route-standin";
    SetEnvironmentVariableA("NIMBRA_ROUTE_TABLE", (directory + "table.txt").c_str());
    SetEnvironmentVariableA("NIMBRA_ROUTE_LOG", (directory + "log.txt").c_str());
    char path[32768] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (standIn + ";" + path).c_str());
    wchar_t found[MAX_PATH] = {};
    SearchPathW(nullptr, L"route.exe", nullptr, MAX_PATH, found, nullptr);
    checks.check(std::wstring(found) == widen(standIn + "\\route.exe"), "route.exe is the stand-in",
                 "found " + std::to_string(std::wstring(found).size()) + " characters");

    const auto run = [](const std::optional<RouteCommand> &command, std::string &output) {
        if (!command)
            return -3;
        std::wstring line = widen(command->program);
        for (const std::string &argument : command->arguments)
            line += L" " + widen(argument);
        return runCaptured(line, output);
    };
    std::string output;
    // The user's own route to the same network, through their own gateway.
    checks.equal(runCaptured(L"route.exe add 1.2.0.0 mask 255.255.0.0 192.168.1.1", output), 0,
                 "a user's own route is there");
    checks.equal(run(routeAddCommand("1.2.0.0", "255.255.0.0", "172.19.0.1"), output), 0, "ours is added");
    checks.check(output.find("OK!") != std::string::npos, "with route.exe's answer", output);
    checks.equal(run(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1"), output), 0,
                 "ours is deleted");
    std::string table;
    testing::readWhole(directory + "table.txt", table);
    checks.equal(table, std::string("1.2.0.0 255.255.0.0 192.168.1.1\n"), "the user's own route stays");
    const int again = run(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1"), output);
    checks.check(again != 0 && routeDeletionFoundNothing(output),
                 "deleting it again fails with the answer read as \"no such route\"", output);
    checks.check(run(routeAddCommand("1.2.0.0", "255.255.0.0", "192.168.1.1"), output) != 0 &&
                     !routeDeletionFoundNothing(output),
                 "other failures do not read so", output);
    std::string log;
    testing::readWhole(directory + "log.txt", log);
    checks.equal(log,
                 std::string("add 1.2.0.0 mask 255.255.0.0 192.168.1.1\n"
                             "add 1.2.0.0 mask 255.255.0.0 172.19.0.1\n"
                             "delete 1.2.0.0 mask 255.255.0.0 172.19.0.1\n"
                             "delete 1.2.0.0 mask 255.255.0.0 172.19.0.1\n"
                             "add 1.2.0.0 mask 255.255.0.0 192.168.1.1\n"),
                 "route.exe got non-persistent adds and deletions that name the gateway");
    SetEnvironmentVariableA("PATH", path);
    testing::removeTree(directory);
}

} // namespace

// The Run value as Windows starts it at login: the quoted program and the start-hidden argument.
void autostartRunValue(Checks &checks)
{
    checks.group("autostart Run value");
    if (autostartPresent()) {
        checks.skip("written and removed", "this user's own entry exists");
        return;
    }
    std::string error;
    const std::string program = "C:\\Program Files\\Nimbra\\nimbra.exe";
    if (!checks.check(writeAutostart(program, error), "written", error))
        return;
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Nimbra",
                     RRF_RT_ANY, &type, value, &size);
    checks.check(status == ERROR_SUCCESS && type == REG_SZ &&
                     std::wstring(value) == L"\"C:\\Program Files\\Nimbra\\nimbra.exe\" --hidden",
                 "HKCU Run\\Nimbra holds the quoted program and --hidden", std::to_string(status));
    checks.check(removeAutostart(error), "removed", error);
    checks.check(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"Nimbra", RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND,
                 "the value is gone");
}

int main()
{
    Checks checks;
    administratorCheck(checks);
    appUserModelId(checks);
    nativeWindowIcon(checks);
    interfaceTable(checks);
    namedPipe(checks);
    pipeAccessAndServingTime(checks);
    jobObject(checks);
    jobAtCreation(checks);
    childProcess(checks);
    routeCommandsEndToEnd(checks);
    autostartRunValue(checks);
    return checks.finish();
}
