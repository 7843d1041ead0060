#pragma once

#include <QRect>

class QQmlApplicationEngine;

namespace nimbra {

struct Backend;

// The program's composition root: administrator check, process identity, runtime log, the back-end
// objects and their wiring, the Qt Quick engine and the event loop. Returns the process exit code.
int runApplication(int argc, char **argv);

// How the window starts: whether the desktop has a tray to live in, whether it starts hidden there
// (a start at login), and where it opens (invalid: the design size, placed by the desktop).
struct WindowStart
{
    bool trayAvailable = false;
    bool hidden = false;
    QRect geometry;
};

// Publishes the back-end objects and the two debugger flags to the user interface under their context
// property names, and the preferences and the window's start as the singletons Preferences and
// WindowStart.
void publishBackend(QQmlApplicationEngine &engine, const Backend &backend, bool debuggerActive,
                    bool debuggerRequested, WindowStart windowStart = {});

// Loads the document Main of the module Nimbra.
void loadMainDocument(QQmlApplicationEngine &engine);

} // namespace nimbra
