#include "qmldebuggerargs.h"

#include <QtGlobal>

#include <cstring>

namespace nimbra {
namespace {

bool isDebuggerArgument(const char *argument)
{
    static constexpr char kPrefix[] = "-qmljsdebugger=";
    return argument && std::strncmp(argument, kPrefix, sizeof(kPrefix) - 1) == 0;
}

} // namespace

bool qmlDebuggerExplicitlyEnabled()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("NIMBRA_ENABLE_QML_DEBUGGER", &ok);
    return ok && value == 1;
}

bool filterQmlDebuggerArguments(int &argc, char **argv, bool enabled)
{
    bool found = false;
    if (enabled) {
        for (int i = 0; i < argc; ++i)
            found = found || isDebuggerArgument(argv[i]);
        return found;
    }
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (isDebuggerArgument(argv[i])) {
            found = true;
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[kept] = nullptr;
    return found;
}

} // namespace nimbra
