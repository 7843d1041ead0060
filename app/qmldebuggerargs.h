#pragma once

// Qt Creator injects "-qmljsdebugger=..." into every run; an open debugger port is not something a
// shipped client should have unless explicitly asked for with NIMBRA_ENABLE_QML_DEBUGGER=1.
namespace nimbra {

// True only when NIMBRA_ENABLE_QML_DEBUGGER is exactly the integer 1.
bool qmlDebuggerExplicitlyEnabled();

// Not enabled: removes every argument starting with "-qmljsdebugger=" in place, updates argc and
// terminates the vector with a null pointer. Enabled: leaves the vector alone. Returns whether such an
// argument was present.
bool filterQmlDebuggerArguments(int &argc, char **argv, bool enabled);

} // namespace nimbra
