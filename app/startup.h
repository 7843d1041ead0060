#pragma once

class QQmlApplicationEngine;

namespace nimbra {

struct Backend;

// The program's composition root: administrator check, process identity, runtime log, the back-end
// objects and their wiring, the Qt Quick engine and the event loop. Returns the process exit code.
int runApplication(int argc, char **argv);

// Publishes the back-end objects and the two debugger flags to the user interface under their
// context property names.
void publishBackend(QQmlApplicationEngine &engine, const Backend &backend, bool debuggerActive,
                    bool debuggerRequested);

// Loads the document Main of the module Nimbra.
void loadMainDocument(QQmlApplicationEngine &engine);

} // namespace nimbra
