#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class Preferences;
class QQmlEngine;

namespace nimbra {

struct WindowStart;

// How the window starts, as the interface reads it (the singleton WindowStart of the module Nimbra).
class WindowStartState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool trayAvailable READ trayAvailable CONSTANT)
    Q_PROPERTY(bool startHidden READ startHidden CONSTANT)
    // The system the client runs on ("Windows", "Linux", …) and the build's version, for the title
    // badge and the about text.
    Q_PROPERTY(QString systemName READ systemName CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QRect geometry READ geometry CONSTANT)

public:
    WindowStartState(bool trayAvailable, bool startHidden, QRect geometry = {}, QObject *parent = nullptr);

    bool trayAvailable() const { return m_trayAvailable; }
    bool startHidden() const { return m_startHidden; }
    static QString systemName();
    static QString version();
    QRect geometry() const { return m_geometry; }

private:
    const bool m_trayAvailable;
    const bool m_startHidden;
    const QRect m_geometry;
};

// The objects the C++ singletons of the module give one engine; they are set before its first
// document loads and forgotten when the engine ends. Nothing set gives nullptr.
void setEngineSingletons(QQmlEngine &engine, Preferences *preferences, WindowStart windowStart);
Preferences *enginePreferences(const QQmlEngine *engine);
WindowStartState *engineWindowStart(const QQmlEngine *engine);

} // namespace nimbra
