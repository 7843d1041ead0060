#pragma once

#include <QRect>

#include <memory>

class QQmlApplicationEngine;
class QQmlComponent;
class QQmlEngine;

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

// Publishes the back-end objects and the two debugger flags to the user interface as the singleton App,
// and the preferences and the window's start as the singletons Preferences and WindowStart.
void publishBackend(QQmlEngine &engine, const Backend &backend, bool debuggerActive, bool debuggerRequested,
                    WindowStart windowStart = {});

// Starts loading the documents of Main in the engine's loader thread; the component keeps them until
// Main is loaded.
std::unique_ptr<QQmlComponent> startLoadingMainDocument(QQmlApplicationEngine &engine);

// Loads the document Main of the module Nimbra (and waits for a load started above).
void loadMainDocument(QQmlApplicationEngine &engine);

} // namespace nimbra
