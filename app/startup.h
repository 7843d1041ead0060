#pragma once

namespace nimbra {

// The program's composition root: administrator check, process identity, runtime log, the back-end
// objects and their wiring, the Qt Quick engine and the event loop. Returns the process exit code.
int runApplication(int argc, char **argv);

} // namespace nimbra
