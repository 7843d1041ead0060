#include "app/securestart.h"

#include "platform/secureexecution.h"

#include <string_view>

namespace nimbra {
namespace {

// Qt options that load plugins, styles or a debugger chosen on the command line.
constexpr std::string_view kPrivilegedOptions[] = {"platformpluginpath", "plugin", "platformtheme", "style",
                                                   "qmljsdebugger"};

enum class Match
{
    None,
    WithValue, // "-name=value": the value is part of the argument
    Alone,     // "-name": the value, if any, is the next argument
};

Match matchOption(std::string_view argument, std::string_view &name)
{
    if (argument.size() < 2 || argument.front() != '-')
        return Match::None;
    argument.remove_prefix(argument[1] == '-' ? 2 : 1);
    for (const std::string_view option : kPrivilegedOptions) {
        if (argument == option) {
            name = option;
            return Match::Alone;
        }
        if (argument.size() > option.size() && argument.substr(0, option.size()) == option &&
            argument[option.size()] == '=') {
            name = option;
            return Match::WithValue;
        }
    }
    return Match::None;
}

std::string joined(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ",") + item;
    return text.empty() ? "无" : text;
}

} // namespace

std::vector<std::string> filterPrivilegedArguments(int &argc, char **argv)
{
    std::vector<std::string> removed;
    int kept = argc > 0 ? 1 : 0; // the program name stays
    for (int i = kept; i < argc; ++i) {
        std::string_view name;
        const Match match = argv[i] ? matchOption(argv[i], name) : Match::None;
        if (match == Match::None) {
            argv[kept++] = argv[i];
            continue;
        }
        removed.push_back("-" + std::string(name));
        if (match == Match::Alone && i + 1 < argc)
            ++i;
    }
    argc = kept;
    argv[kept] = nullptr;
    return removed;
}

SecureStart enterSecureStart(int &argc, char **argv)
{
    SecureStart start;
    start.secure = platform::isSecureExecution();
    if (start.secure) {
        start.variables = platform::hardenEnvironment();
        start.arguments = filterPrivilegedArguments(argc, argv);
    }
    return start;
}

std::string describeSecureStart(const SecureStart &start)
{
    if (!start.secure)
        return {};
    return "[APP] 以提升的权限运行（secure-execution），已移除环境变量 " + joined(start.variables) +
           "，已移除参数 " + joined(start.arguments);
}

} // namespace nimbra
