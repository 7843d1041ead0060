// A stand-in for the sing-box core: same command line, configuration hand-over and log lines, no
// traffic forwarding. Failure modes come from NIMBRA_STUB_CORE_MODE (README.md).
#include "config.h"
#include "logline.h"
#include "mode.h"
#include "schema.h"
#include "tun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

using namespace stubcore;

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onStopSignal(int)
{
    g_stopRequested = 1;
}

void installStopHandlers()
{
#ifdef _WIN32
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#else
    // No SA_RESTART: a blocking open or read of the configuration pipe must return on a stop request.
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

// Sleeps up to ms milliseconds; false when a stop was requested meanwhile.
bool pauseFor(double ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double, std::milli>(ms);
    while (!g_stopRequested && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !g_stopRequested;
}

// Prints `rate` connection lines per second, in 10 ms batches, until a stop is requested. A reader
// that falls behind gets the backlog in later batches, so the average rate holds.
void logAtRate(int rate, const Logger &logger)
{
    constexpr long long kMaxLinesPerWrite = 1000;
    const auto start = std::chrono::steady_clock::now();
    long long written = 0;
    while (!g_stopRequested) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const auto due = static_cast<long long>(elapsed.count() * rate);
        std::string batch;
        for (long long n = 0; written < due && n < kMaxLinesPerWrite; ++written, ++n)
            batch += logger.format(Level::Info, "[" + std::to_string(written) +
                                                    " 1ms] inbound/tun[tun-in]: stub log-rate: inbound "
                                                    "connection to 198.18.0.1:443") +
                     '\n';
        if (!batch.empty())
            Logger::write(batch);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void waitForStop()
{
    while (!g_stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

constexpr const char *Usage =
    "Usage:\n"
    "  nimbra-server [command]\n\n"
    "Available Commands:\n"
    "  check       Check configuration\n"
    "  run         Run service\n"
    "  version     Print current version of the stub\n\n"
    "Flags:\n"
    "  -c, --config string      set configuration file path (default \"config.json\")\n"
    "  -D, --directory string   set working directory\n"
    "      --disable-color      disable color output\n"
    "  -h, --help               help for nimbra-server\n";

struct Options
{
    std::string command;
    std::string configPath = "config.json";
    bool configGiven = false;
    std::string directory;
    bool disableColor = false;
};

int usageError(const std::string &message)
{
    std::fprintf(stderr, "Error: %s\n%s", message.c_str(), Usage);
    return 1;
}

// Flags may come before or after the command, as with sing-box's command-line library.
std::optional<Options> parseArguments(int argc, char **argv, int &exitCode)
{
    Options options;
    exitCode = 1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg.resize(arg.find('='));
            hasValue = true;
        } else if (arg.size() > 2 && arg[0] == '-' && arg[1] != '-') {
            value = arg.substr(arg[2] == '=' ? 3 : 2);
            arg.resize(2);
            hasValue = true;
        }
        auto takeValue = [&](std::string &target) {
            if (!hasValue && i + 1 < argc) {
                value = argv[++i];
                hasValue = true;
            }
            if (hasValue)
                target = value;
            return hasValue;
        };

        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage, stdout);
            exitCode = 0;
            return std::nullopt;
        } else if (arg == "-c" || arg == "--config") {
            if (options.configGiven) {
                usageError("the stub core reads exactly one -c configuration");
                return std::nullopt;
            }
            if (!takeValue(options.configPath)) {
                usageError("flag needs an argument: " + arg);
                return std::nullopt;
            }
            options.configGiven = true;
        } else if (arg == "-D" || arg == "--directory") {
            if (!takeValue(options.directory)) {
                usageError("flag needs an argument: " + arg);
                return std::nullopt;
            }
        } else if (arg == "--disable-color" && (!hasValue || value == "true" || value == "false")) {
            options.disableColor = !hasValue || value == "true";
        } else if (arg.size() > 1 && arg[0] == '-') {
            usageError("unknown flag: " + arg);
            return std::nullopt;
        } else if (options.command.empty() && (arg == "check" || arg == "run" || arg == "version")) {
            options.command = arg;
        } else {
            usageError("unknown command \"" + arg + "\" for \"nimbra-server\"");
            return std::nullopt;
        }
    }
    if (options.command.empty()) {
        std::fputs(Usage, stdout);
        exitCode = 0;
        return std::nullopt;
    }
    return options;
}

enum class ReadResult
{
    Read,
    Stopped,
    Failed
};

// Reads the whole configuration once: the client's pipe delivers it a single time.
ReadResult readConfig(const std::string &path, std::string &content, std::string &error)
{
    constexpr std::size_t MaxBytes = 16 * 1024 * 1024;
    const bool fromStdin = path == "stdin";
    std::FILE *file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        if (g_stopRequested)
            return ReadResult::Stopped;
        error = "read config at " + path + ": " + systemErrorText("open " + path, errno);
        return ReadResult::Failed;
    }
    ReadResult result = ReadResult::Read;
    char buffer[65536];
    for (;;) {
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, file);
        content.append(buffer, count);
        if (content.size() > MaxBytes) {
            error = "read config at " + path + ": larger than 16 MiB";
            result = ReadResult::Failed;
            break;
        }
        if (count == sizeof buffer)
            continue;
        if (!std::ferror(file))
            break;
        const int readError = errno;
        if (g_stopRequested) {
            result = ReadResult::Stopped;
            break;
        }
        if (readError == EINTR) {
            std::clearerr(file);
            continue;
        }
        error = "read config at " + path + ": " + systemErrorText("read " + path, readError);
        result = ReadResult::Failed;
        break;
    }
    if (!fromStdin)
        std::fclose(file);
    return result;
}

[[noreturn]] void crash(bool bySignal)
{
    if (bySignal) {
#ifndef _WIN32
        // No core file in the client's data folder.
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
#else
        // As a crashing Go program ends on Windows: with the exception's code, no error dialog.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        TerminateProcess(GetCurrentProcess(), 0xC0000005u);
#endif
        std::abort();
    }
    // What a Go program prints when it panics; the Go runtime then exits with code 2.
    Logger::write(
        "panic: stub crash-after: simulated runtime error\n\ngoroutine 1 [running]:\nmain.main()\n");
    std::exit(2);
}

int checkCommand(const Options &options, const StubMode &mode, const Logger &logger)
{
    if (mode.neverOpenPipeCheck) {
        waitForStop();
        return 1;
    }
    std::string content;
    std::string error;
    const ReadResult read = readConfig(options.configPath, content, error);
    if (read == ReadResult::Stopped)
        return 1;
    // A slow validation leaves the client time to cancel between its check and its run.
    if (mode.slowCheckMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(mode.slowCheckMs));
    if (read == ReadResult::Read && mode.checkFail)
        error = *mode.checkFail;
    else if (read == ReadResult::Read && loadCoreConfig(content, options.configPath, error))
        return 0;
    logger.log(Level::Fatal, error);
    return 1;
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

void announceReady(const StubMode &mode, const Logger &logger)
{
    const std::string seconds = secondsText(logger.elapsedSeconds());
    if (!mode.splitReady) {
        logger.log(Level::Info, "sing-box started (" + seconds + "s)");
        return;
    }
    // Matching is case-insensitive. The cut falls inside a word, so a reader that trims each chunk
    // and joins chunks without a separator still sees "Sing-Box STARTED (".
    const std::string line = logger.format(Level::Info, "Sing-Box STARTED (" + seconds + "s)") + '\n';
    const std::size_t cut = line.find("Sing-Box") + 6;
    Logger::write(line.substr(0, cut));
    pauseFor(300);
    Logger::write(line.substr(cut));
}

int runCommand(const Options &options, const StubMode &mode, const char *modeText, Logger &logger)
{
    if (mode.neverOpenPipeRun) {
        waitForStop();
        return 0;
    }
    std::string content;
    std::string error;
    const ReadResult read = readConfig(options.configPath, content, error);
    if (read == ReadResult::Stopped)
        return 0;
    std::optional<CoreConfig> config;
    if (read == ReadResult::Read)
        config = loadCoreConfig(content, options.configPath, error);
    content.clear();
    if (!config) {
        logger.log(Level::Fatal, error);
        return 1;
    }
    logger.setColor(!options.disableColor);
    logger.setFullTimestamp(config->fullTimestamp);

    if (mode.exitDuringStart) {
        logger.log(Level::Fatal, "start service: stub exit-during-start (exit code " +
                                     std::to_string(*mode.exitDuringStart) + ")");
        return *mode.exitDuringStart;
    }
    logger.log(Level::Info, std::string("nimbra stub core: no traffic is forwarded") +
                                (*modeText ? std::string(" (NIMBRA_STUB_CORE_MODE=") + modeText + ")" : ""));
    std::string firstRemote;
    for (const OutboundFacts &outbound : config->outbounds) {
        const std::string name = "outbound/" + outbound.type + '[' + outbound.tag + ']';
        logger.log(Level::Info, name + ": configured");
        if (outbound.remote && firstRemote.empty())
            firstRemote = name;
    }

    const TunFacts &tunFacts = config->tun;
    const std::string tunName = "inbound/tun[" + tunFacts.tag + "]";
    const std::string where = tunFacts.interfaceName + " (" + tunFacts.addressText + ")";
#ifdef __linux__
    if (!TunInterface::isValidName(tunFacts.interfaceName)) {
        logger.log(Level::Fatal, "start service: start " + tunName +
                                     ": configure tun interface: invalid name \"" + tunFacts.interfaceName +
                                     "\" (1..15 bytes, no spaces, '/' or ':')");
        return 1;
    }
#endif
    TunInterface tun;
    const TunInterface::Result created =
        tun.create(tunFacts.interfaceName, tunFacts.address, tunFacts.prefixLength, tunFacts.mtu);
    switch (created.outcome) {
    case TunInterface::Outcome::Created:
        logger.log(Level::Info, tunName + ": started at " + where);
        break;
    case TunInterface::Outcome::Skipped:
        logger.log(Level::Warn, tunName + ": interface " + where + " not created (" + created.detail +
                                    "); carrying on without it");
        break;
    case TunInterface::Outcome::Failed:
        logger.log(Level::Fatal,
                   "start service: start " + tunName + ": configure tun interface: " + created.detail);
        return 1;
    }

    if (pauseFor(mode.slowReadyMs) && !mode.neverReady) {
        announceReady(mode, logger);
        if (mode.errorLines && pauseFor(100)) {
            logger.log(Level::Error,
                       "[2718281828 15ms] " + firstRemote + ": stub error-lines: connection reset by peer");
            logger.log(Level::Error, "dns: stub error-lines: exchange failed: i/o timeout");
            logger.log(Level::Fatal, "stub error-lines: simulated fatal line (the stub keeps running)");
        }
        if (mode.crashAfterSeconds && pauseFor(*mode.crashAfterSeconds * 1000))
            crash(mode.crashBySignal);
        if (mode.logRate > 0)
            logAtRate(mode.logRate, logger);
    }
    waitForStop();

    if (tun.isOpen()) {
        tun.close();
        logger.log(Level::Info, tunName + ": removed " + tunFacts.interfaceName);
    }
    logger.log(Level::Info, "sing-box closed");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    installStopHandlers();
    int exitCode = 0;
    const std::optional<Options> options = parseArguments(argc, argv, exitCode);
    if (!options)
        return exitCode;
    if (options->command == "version") {
        // The real core's first line, which the client reads; the version is the oldest whose format
        // the stub checks, or NIMBRA_STUB_CORE_VERSION to play an older or newer core.
        const char *version = std::getenv("NIMBRA_STUB_CORE_VERSION");
        std::printf("sing-box version %s\n\nEnvironment: nimbra stub core (sing-box compatible command line; "
                    "no traffic is forwarded)\n",
                    version && *version ? version : kSchemaVersion);
        return 0;
    }

    Logger logger;
    logger.setColor(!options->disableColor);
    const char *modeText = std::getenv("NIMBRA_STUB_CORE_MODE");
    modeText = modeText ? modeText : "";
    std::string error;
    const std::optional<StubMode> mode = parseStubMode(modeText, error);
    if (!mode) {
        // A distinct code, so a mistyped mode is not taken for the failure it meant to cause.
        logger.log(Level::Fatal, "NIMBRA_STUB_CORE_MODE: " + error);
        return 64;
    }
    if (!options->directory.empty()) {
        std::error_code ec;
        std::filesystem::current_path(options->directory, ec);
        if (ec) {
            logger.log(Level::Fatal, "chdir " + options->directory + ": " + ec.message());
            return 1;
        }
    }
    if (options->command == "check")
        return checkCommand(*options, *mode, logger);
    return runCommand(*options, *mode, modeText, logger);
}
