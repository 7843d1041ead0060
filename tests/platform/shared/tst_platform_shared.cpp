// Behaviour that both halves of platform/ promise alike, run natively on Linux and under wine for the
// Windows half: configuration pipe hand-off, kill-on-close, interface counter filtering, route
// argument lists and TCP handshake probes on loopback. Only the platform headers, the standard library and
// process.h are used here.
#include "check.h"
#include "process.h"

#include "platform/autostart.h"
#include "platform/configpipe.h"
#include "platform/instancelock.h"
#include "platform/killonclose.h"
#include "platform/netcounters.h"
#include "platform/routecommand.h"
#include "platform/tcpprobe.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

using namespace nimbra::platform;
using nimbra::testing::Checks;
namespace testing = nimbra::testing;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// "program arg arg ...", or "-" when no command was built.
std::string line(const std::optional<RouteCommand> &command)
{
    if (!command)
        return "-";
    std::string text = command->program;
    for (const std::string &argument : command->arguments)
        text += " " + argument;
    return text;
}

long long millisecondsSince(std::chrono::steady_clock::time_point begun)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begun)
        .count();
}

std::string fileContents(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

bool isPipeName(const std::string &path)
{
    const std::string prefix = kWindows ? "\\\\.\\pipe\\nimbra-config-" : "/nimbra/nimbra-config-";
    const auto at = path.rfind(prefix);
    if (at == std::string::npos || (kWindows && at != 0) || path.size() != at + prefix.size() + 32)
        return false;
    return std::all_of(path.begin() + static_cast<std::ptrdiff_t>(at + prefix.size()), path.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

void routeCommands(Checks &checks)
{
    checks.group("route commands");
    constexpr auto W = RouteSyntax::Windows;
    constexpr auto L = RouteSyntax::Linux;
    // The route entries 1.2.3.4, 1.2.3.4/32, 10.1.2.3/8 and 0.0.0.0/0 as the session installs them.
    const char *const routes[][3] = {
        {"1.2.0.0", "255.255.0.0", "16"},
        {"1.2.3.4", "255.255.255.255", "32"},
        {"10.0.0.0", "255.0.0.0", "8"},
        {"0.0.0.0", "0.0.0.0", "0"},
    };
    for (const auto &[destination, mask, prefix] : routes) {
        const std::string d = destination;
        checks.equal(line(routeAddCommand(destination, mask, "172.19.0.1", W)),
                     "route.exe add " + d + " mask " + mask + " 172.19.0.1", "route.exe add " + d);
        checks.equal(line(routeDeleteCommand(destination, mask, "172.19.0.1", W)),
                     "route.exe delete " + d + " mask " + mask + " 172.19.0.1", "route.exe delete " + d);
        checks.equal(line(routeAddCommand(destination, mask, "172.19.0.1", L)),
                     "ip route add " + d + "/" + prefix + " via 172.19.0.1 proto 215", "ip add " + d);
        checks.equal(line(routeDeleteCommand(destination, mask, "172.19.0.1", L)),
                     "ip route del " + d + "/" + prefix + " via 172.19.0.1 proto 215", "ip del " + d);
    }
    checks.equal(routeAddCommand("1.2.0.0", "255.255.0.0", "172.19.0.1")->program,
                 std::string(kWindows ? "route.exe" : "ip"), "the default syntax is the system's");

    // Only plain dotted quads, contiguous masks and network addresses get through: leading zeros are
    // octal to route.exe, and anything starting with "-" would be an option.
    const char *const bad[][3] = {
        {"1.2.0.0", "255.0.255.0", "172.19.0.1"},
        {"1.2.3.0", "255.255.0.0", "172.19.0.1"},
        {"01.2.0.0", "255.255.0.0", "172.19.0.1"},
        {"256.2.0.0", "255.255.0.0", "172.19.0.1"},
        {"1.2.0", "255.255.0.0", "172.19.0.1"},
        {"1.2.0.0.0", "255.255.0.0", "172.19.0.1"},
        {"1.2.0.0 ", "255.255.0.0", "172.19.0.1"},
        {"::1", "255.255.0.0", "172.19.0.1"},
        {"1.2.0.0/16", "255.255.0.0", "172.19.0.1"},
        {"1.2.0.0", "255.255.0.0", "example.com"},
        {"1.2.0.0", "255.255.0.0", "-p"},
        {"1.2.0.0", "", "172.19.0.1"},
        {"1.2.0.0", "255.255.0.0", "172.019.0.1"},
    };
    int refused = 0;
    int cases = 0;
    for (const auto &[destination, mask, gateway] : bad) {
        for (RouteSyntax syntax : {W, L}) {
            const bool addRefused = !routeAddCommand(destination, mask, gateway, syntax);
            const bool deleteRefused = !routeDeleteCommand(destination, mask, gateway, syntax);
            refused += addRefused + deleteRefused;
            cases += 2;
            if (!addRefused || !deleteRefused)
                checks.check(false, "refuses", std::string(destination) + " " + mask + " " + gateway);
        }
    }
    checks.equal(refused, cases, "malformed addresses, masks and gateways are refused for both syntaxes");

    bool roundTrips = true;
    for (int length = 0; length <= 32; ++length)
        roundTrips = roundTrips && prefixLengthOfMask(maskOfPrefixLength(length)) == length;
    checks.check(roundTrips, "every prefix length survives mask and back");
    checks.equal(maskOfPrefixLength(12), 0xfff00000u, "prefix 12 is 255.240.0.0");
    checks.check(!prefixLengthOfMask(0xffff00ffu), "a non-contiguous mask has no prefix length");
    checks.equal(formatIPv4(parseIPv4("172.19.0.1").value_or(0)), "172.19.0.1", "dotted quad round trip");
    checks.equal(parseIPv4("255.255.255.255").value_or(0), 0xffffffffu, "the highest address parses");
}

void interfaceCounters(Checks &checks)
{
    checks.group("interface counters");
    // GetIfTable rows: only status 5 is operational; type 24 is loopback, 131 tunnel.
    int operational = 0;
    for (std::uint32_t status = 0; status <= 7; ++status)
        operational += windowsInterfaceRow("x", status, 6, 0, 0).operational ? 1 : 0;
    checks.equal(operational, 1, "only one operational status counts");
    checks.check(windowsInterfaceRow("x", 5, 6, 0, 0).operational, "status 5 is operational");
    const InterfaceCounterRow loopback = windowsInterfaceRow("Loopback", 5, 24, 3, 4);
    const InterfaceCounterRow tunnel = windowsInterfaceRow("Tunnel", 5, 131, 3, 4);
    checks.check(loopback.loopback && !loopback.tunnel, "type 24 is loopback");
    checks.check(tunnel.tunnel && !tunnel.loopback, "type 131 is a tunnel");
    checks.check(loopback.name == "Loopback" && loopback.receivedBytes == 3 && loopback.sentBytes == 4,
                 "name and counters are kept (in = received, out = sent)");

    // The 32-bit counters add up beyond 32 bits.
    checks.check(sumCountedInterfaces({
                     windowsInterfaceRow("Ethernet", 5, 6, 0xffffffffu, 0xfffffff0u),
                     windowsInterfaceRow("Wi-Fi", 5, 71, 0xffffffffu, 0x20u),
                     windowsInterfaceRow("PPP", 5, 23, 7, 9),
                     windowsInterfaceRow("Loopback", 5, 24, 1000, 1000),
                     windowsInterfaceRow("Tunnel", 5, 131, 1000, 1000),
                     windowsInterfaceRow("Cable out", 2, 6, 1000, 1000),
                     windowsInterfaceRow("Connecting", 4, 71, 1000, 1000),
                 }) == ByteTotals{0x1fffffffeull + 7, 0x100000010ull + 9},
                 "Windows rows: operational, not loopback, not tunnel, summed in 64 bits");

    // rtnetlink links: IF_OPER_UP 6, IF_OPER_UNKNOWN 0 with IFF_UP | IFF_LOWER_UP, ARPHRD_NONE tunnels.
    constexpr std::uint32_t up = 0x1 | 0x40 | 0x10000;
    const std::uint64_t big = 1ull << 40;
    checks.check(sumCountedInterfaces({
                     linuxInterfaceRow("eth0", 1, 6, up, big, 2 * big),
                     linuxInterfaceRow("dummy0", 1, 0, up, 5, 6),
                     linuxInterfaceRow("lo", 772, 0, up, 1000, 1000),
                     linuxInterfaceRow("tun0", 0xfffe, 0, up, 1000, 1000),
                     linuxInterfaceRow("gre0", 778, 0, up, 1000, 1000),
                     linuxInterfaceRow("eth1", 1, 2, 0x1, 1000, 1000),
                     linuxInterfaceRow("dummy1", 1, 0, 0x1, 1000, 1000),
                 }) == ByteTotals{big + 5, 2 * big + 6},
                 "Linux links: operational, not loopback, not tunnel");
    checks.check(sumCountedInterfaces({}) == ByteTotals{}, "no rows, no bytes");

    const auto rows = readInterfaceCounterRows();
    if (checks.check(rows && !rows->empty(), "the system's table is read")) {
        const bool hasLoopback = std::any_of(rows->begin(), rows->end(),
                                             [](const InterfaceCounterRow &row) { return row.loopback; });
        checks.check(hasLoopback, "the loopback interface is among the rows and recognised");
    }
    checks.check(readInterfaceByteTotals().has_value(), "the system's totals are read");
}

void pipeTexts(Checks &checks)
{
    checks.group("config pipe texts");
    const auto text = [](ConfigPipeStatus status, ConfigPipeUse use, unsigned long code) {
        return makeConfigPipeResult(status, use, code).message;
    };
    checks.equal(text(ConfigPipeStatus::CreateFailed, ConfigPipeUse::Validation, 5),
                 "无法创建配置校验管道（错误 5）", "validation pipe not created");
    checks.equal(text(ConfigPipeStatus::CreateFailed, ConfigPipeUse::Run, 231),
                 "无法创建运行配置管道（错误 231）", "run pipe not created");
    checks.equal(text(ConfigPipeStatus::ConnectFailed, ConfigPipeUse::Run, 232),
                 "连接配置管道失败（错误 232）", "connection failed");
    checks.equal(text(ConfigPipeStatus::ExitedBeforeReading, ConfigPipeUse::Run, 0),
                 "nimbra-server 未读取内存配置便已退出", "reader exited");
    checks.equal(text(ConfigPipeStatus::ReadTimeout, ConfigPipeUse::Run, 0), "nimbra-server 读取内存配置超时",
                 "time-out");
    checks.equal(text(ConfigPipeStatus::WriteFailed, ConfigPipeUse::Run, 109), "写入内存配置失败（错误 109）",
                 "write failed");
    const ConfigPipeResult ok = makeConfigPipeResult(ConfigPipeStatus::Ok, ConfigPipeUse::Run, 0);
    checks.check(ok.ok() && ok.message.empty() && ok.systemError == 0, "success has no text");
    checks.equal(
        makeConfigPipeResult(ConfigPipeStatus::ExitedBeforeReading, ConfigPipeUse::Run, 7).systemError, 0ul,
        "statuses without a system error carry none");
}

// Whether the child still runs; it ends the wait for a reader that has gone.
std::function<bool()> stillRunning(testing::ChildProcess &child)
{
    return [&child] {
        return child.running();
    };
}

void pipeHandOff(Checks &checks, const std::string &directory)
{
    checks.group("config pipe");
    std::string config;
    for (int i = 0; config.size() < 200 * 1024; ++i)
        config += "\"node" + std::to_string(i) + "\":\"password\",";

    {
        ConfigPipe pipe;
        const ConfigPipeResult created = pipe.create(ConfigPipeUse::Run, config.size());
        checks.check(created.ok(), "created", created.message);
        const std::string first = pipe.path();
        checks.check(isPipeName(first), "the name is nimbra-config- and 32 hex digits", first);
        checks.check(pipe.create(ConfigPipeUse::Validation, 16).ok() && pipe.path() != first &&
                         isPipeName(pipe.path()),
                     "every pipe gets a fresh name", pipe.path());
        pipe.close();
        checks.check(pipe.path().empty(), "a closed pipe has no path");
    }

    {
        // A separate program reads it as the core does; far more than one write or buffer holds.
        ConfigPipe pipe;
        checks.check(pipe.create(ConfigPipeUse::Run, config.size()).ok(), "created for 200 kB");
        const std::string output = directory + "received";
        testing::ChildProcess reader;
        checks.check(reader.start(testing::helperProgram(), {"read", pipe.path(), output}), "reader started");
        const ConfigPipeResult served = pipe.serve(config, stillRunning(reader));
        checks.check(served.ok() && served.message.empty(), "served", served.message);
        checks.check(pipe.path().empty(), "the pipe is closed after serving");
        checks.check(reader.waitForExit(10000) && reader.exitCode() == 0,
                     "the reader reached the end of its input", std::to_string(reader.exitCode()));
        const std::string received = fileContents(output);
        checks.check(received == config, "200 kB arrived whole",
                     std::to_string(received.size()) + " of " + std::to_string(config.size()) + " bytes");
    }

    {
        // No client yet is not an error: the pipe keeps listening, and the reader is started only once
        // serving has found nobody there.
        ConfigPipe pipe;
        checks.check(pipe.create(ConfigPipeUse::Run, config.size()).ok(), "created for a late reader");
        const std::string output = directory + "received-late";
        testing::ChildProcess reader;
        bool started = false;
        const ConfigPipeResult served = pipe.serve(config, [&] {
            if (!started)
                started = checks.check(reader.start(testing::helperProgram(), {"read", pipe.path(), output}),
                                       "late reader started");
            return reader.running();
        });
        checks.check(started && served.ok(), "still listening while no client has come", served.message);
        checks.check(reader.waitForExit(10000) && reader.exitCode() == 0 && fileContents(output) == config,
                     "the late reader got everything");
    }

    {
        // A steady clock cannot reach the deadline early, and each poll sleeps at least its interval.
        ConfigPipe pipe;
        checks.check(pipe.create(ConfigPipeUse::Run, 16).ok(), "created for a reader that never comes");
        int asked = 0;
        const auto begun = std::chrono::steady_clock::now();
        const ConfigPipeResult result = pipe.serve("{\"password\":\"pw\"}", [&] { return ++asked > 0; });
        const long long elapsed = millisecondsSince(begun);
        checks.equal(result.message, "nimbra-server 读取内存配置超时", "the time-out text");
        checks.check(result.status == ConfigPipeStatus::ReadTimeout && result.systemError == 0,
                     "the time-out status");
        checks.check(elapsed >= kConfigPipeConnectTimeoutMs, "it ends at the time-out, not before",
                     std::to_string(elapsed) + " ms");
        checks.check(asked > 1 && asked <= kConfigPipeConnectTimeoutMs / kConfigPipePollIntervalMs + 1,
                     "the reader process is asked at each poll, neither busily nor once",
                     std::to_string(asked) + " times");
    }

    {
        // The status alone shows it was noticed before the time-out, which has a status of its own.
        ConfigPipe pipe;
        checks.check(pipe.create(ConfigPipeUse::Validation, 16).ok(), "created for a reader that exits");
        testing::ChildProcess quitter;
        checks.check(quitter.start(testing::helperProgram(), {"exit", "3"}), "quitter started");
        const ConfigPipeResult result = pipe.serve("{}", stillRunning(quitter));
        checks.equal(result.message, "nimbra-server 未读取内存配置便已退出", "the reader-exited text");
        checks.check(result.status == ConfigPipeStatus::ExitedBeforeReading, "the reader-exited status");
        checks.check(quitter.waitForExit(0) && quitter.exitCode() == 3, "the reader really exited");

        // Serving closed the pipe; a second serve has nothing to connect.
        const ConfigPipeResult again = pipe.serve("{}", {});
        checks.check(again.status == ConfigPipeStatus::ConnectFailed && again.systemError != 0 &&
                         again.message ==
                             "连接配置管道失败（错误 " + std::to_string(again.systemError) + "）",
                     "a served pipe cannot be served again", again.message);
    }
}

void killOnClose(Checks &checks, const std::string &directory)
{
    checks.group("kill on close");
    const std::string idsFile = directory + "ids";
    testing::ChildProcess client;
    if (!checks.check(client.start(testing::helperProgram(), {"client", idsFile}), "client started"))
        return;
    std::int64_t clientId = 0;
    std::int64_t sleeperId = 0;
    for (int waited = 0; waited < 10000 && sleeperId == 0 && client.running(); waited += 20) {
        std::ifstream(idsFile) >> clientId >> sleeperId;
        if (sleeperId == 0)
            testing::sleepMs(20);
    }
    if (!checks.check(sleeperId > 0, "the client started its child with kill-on-close",
                      "client exit code " + std::to_string(client.exitCode())))
        return;
    checks.equal(clientId, client.id(), "currentProcessId is the process's id");
    checks.check(testing::processRunning(sleeperId), "the child runs while the client does");

    client.kill();
    checks.check(client.waitForExit(5000), "the client was killed");
    bool ended = false;
    for (int waited = 0; waited <= 3000 && !ended; waited += 10) {
        ended = !testing::processRunning(sleeperId);
        if (!ended)
            testing::sleepMs(10);
    }
    if (!ended)
        testing::killProcess(sleeperId);
    checks.check(ended, "the child died with the killed client");
}

// One holder at a time; the next one gets the lock as soon as the holder lets go.
void instanceLock(Checks &checks, const std::string &directory)
{
    checks.group("instance lock");
    const std::string path = directory + (kWindows ? "\\instance.lock" : "/instance.lock");
    std::string error;
    auto holder = std::make_unique<InstanceLock>();
    checks.check(holder->acquire(path, error) == InstanceLock::Result::Acquired, "the first copy holds it",
                 error);
    InstanceLock later;
    checks.check(later.acquire(path, error) == InstanceLock::Result::HeldElsewhere,
                 "a later copy finds it held", error);
    holder.reset();
    checks.check(later.acquire(path, error) == InstanceLock::Result::Acquired,
                 "it is free once the holder is gone", error);
    InstanceLock elsewhere;
    checks.check(elsewhere.acquire(path + "-other", error) == InstanceLock::Result::Acquired,
                 "another user's lock is another lock", error);
}

// The entry's command for paths as they come, and the entry written, replaced and removed.
void autostart(Checks &checks)
{
    checks.group("autostart");
    struct Row
    {
        const char *path;
        const char *onLinux;   // the Exec value as the file holds it; nullptr: refused
        const char *onWindows; // the Run value; nullptr: refused
    };
    const Row rows[] = {
        {"/usr/lib/nimbra/nimbra", "\"/usr/lib/nimbra/nimbra\" --hidden",
         "\"/usr/lib/nimbra/nimbra\" --hidden"},
        {"C:\\Program Files\\Nimbra\\nimbra.exe",
         "\"C:\\\\\\\\Program Files\\\\\\\\Nimbra\\\\\\\\nimbra.exe\" --hidden",
         "\"C:\\Program Files\\Nimbra\\nimbra.exe\" --hidden"},
        {"/opt/a\"b$c`d%e/nimbra", "\"/opt/a\\\\\"b\\\\$c\\\\`d%%e/nimbra\" --hidden", nullptr},
        {"/opt/x\nExec=evil/nimbra", nullptr, nullptr},
    };
    for (const Row &row : rows) {
        const char *expected = kWindows ? row.onWindows : row.onLinux;
        std::string command;
        std::string error;
        const bool built = autostartCommand(row.path, command, error);
        if (expected)
            checks.equal(command, std::string(expected), std::string("command for ") + row.path);
        else {
            std::string shown = row.path;
            std::replace(shown.begin(), shown.end(), '\n', '|');
            checks.check(!built && !error.empty(), "refused: " + shown, command);
        }
    }

    if (kWindows && autostartPresent()) {
        checks.skip("written and removed", "this user's own entry exists: " + autostartLocation());
        return;
    }
    std::string error;
    checks.check(!autostartPresent(), "no entry at first", autostartLocation());
    checks.check(removeAutostart(error), "removing a missing entry is no error", error);
    const std::string program = kWindows ? "C:\\Nimbra\\nimbra.exe" : "/opt/nimbra/nimbra";
    checks.check(writeAutostart("/old/place/nimbra", error) && writeAutostart(program, error),
                 "written, then replaced", error);
    checks.check(autostartPresent(), "present once written");
    if (!kWindows) {
        // A private configuration directory that did not exist: created on the way.
        std::string data;
        checks.check(testing::readWhole(autostartLocation(), data), "the entry file is read back");
        checks.check(data.find("\nExec=\"/opt/nimbra/nimbra\" --hidden\n") != std::string::npos &&
                         data.find("/old/place") == std::string::npos &&
                         data.rfind("[Desktop Entry]\nType=Application\n", 0) == 0,
                     "a desktop entry that starts this executable hidden", data);
    }
    checks.check(removeAutostart(error) && !autostartPresent(), "removed", error);
    checks.check(!writeAutostart("/opt/x\nExec=evil", error) && !autostartPresent(),
                 "a path with a line break writes nothing");
}

// Waits out one handshake: its end state, or Pending when it did not end within ten seconds.
HandshakeState settle(HandshakeWaiter &waiter, TcpHandshake &handshake)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (handshake.state() == HandshakeState::Pending && std::chrono::steady_clock::now() < limit)
        waiter.wait({&handshake}, 1000);
    return handshake.state();
}

void tcpProbe(Checks &checks)
{
    checks.group("tcp probe");
    for (const char *numeric : {"127.0.0.1", "::1", "[::1]"})
        checks.check(numericSocketAddress(numeric, 80).has_value(), std::string(numeric) + " is numeric");
    for (const char *other : {"", "node.invalid", "[]"})
        checks.check(!numericSocketAddress(other, 80),
                     std::string("\"") + other + "\" is no numeric address");
    checks.check(resolveSocketAddress("localhost", 80).has_value(), "localhost resolves");

    HandshakeWaiter waiter;
    if (!checks.check(waiter.valid(), "the waiter's wake-up channel is made"))
        return;
    testing::LoopbackListener listener;
    if (!checks.check(listener.port() != 0, "a loopback listener"))
        return;
    const std::optional<SocketAddress> address = numericSocketAddress("127.0.0.1", listener.port());
    TcpHandshake handshake;
    handshake.begin(*address);
    checks.equal(static_cast<int>(settle(waiter, handshake)), static_cast<int>(HandshakeState::Answered),
                 "a listening port answers");
    listener.close();
    handshake.begin(*address);
    checks.equal(static_cast<int>(settle(waiter, handshake)), static_cast<int>(HandshakeState::Failed),
                 "a closed port refuses");

    // A wake-up ends the next wait early (the prober's owner wakes it from another thread).
    const auto begun = std::chrono::steady_clock::now();
    waiter.wake();
    waiter.wait({}, 20000);
    checks.check(std::chrono::steady_clock::now() - begun < std::chrono::seconds(10), "wake() ends a wait");
}

} // namespace

int main()
{
    Checks checks;
    checks.group("setup");
    const std::string directory = testing::makeTemporaryDirectory();
    if (!checks.check(!directory.empty(), "a temporary directory"))
        return checks.finish();
    testing::usePrivateUserDirectories(directory);

    routeCommands(checks);
    interfaceCounters(checks);
    pipeTexts(checks);
    pipeHandOff(checks, directory);
    killOnClose(checks, directory);
    instanceLock(checks, directory);
    autostart(checks);
    tcpProbe(checks);

    testing::removeTree(directory);
    return checks.finish();
}
