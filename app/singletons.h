#pragma once

#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/accelerationsession.h"
#include "catalog/gamelistapi.h"
#include "purchase/qrcodegenerator.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class Preferences;
class QQmlEngine;

namespace nimbra {

struct Backend;
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

// The back-end objects the interface reaches, and whether the QML debugger is on (the singleton App of
// the module Nimbra). An object the engine was not given reads as null.
class AppObjects : public QObject
{
    Q_OBJECT
    Q_PROPERTY(GlobalData *globalData READ globalData CONSTANT)
    Q_PROPERTY(AuthApi *passportApi READ passportApi CONSTANT)
    Q_PROPERTY(GameListApi *gameListApi READ gameListApi CONSTANT)
    Q_PROPERTY(RechargeApi *rechargeApi READ rechargeApi CONSTANT)
    Q_PROPERTY(QrCodeGenerator *qrCodeGenerator READ qrCodeGenerator CONSTANT)
    Q_PROPERTY(SingBoxManager *singBoxManager READ singBoxManager CONSTANT)
    Q_PROPERTY(AccelerationSession *accelerationSession READ accelerationSession CONSTANT)
    Q_PROPERTY(bool qmlDebuggerActive READ qmlDebuggerActive CONSTANT)
    Q_PROPERTY(bool qmlDebuggerRequested READ qmlDebuggerRequested CONSTANT)

public:
    AppObjects(const Backend &backend, bool debuggerActive, bool debuggerRequested,
               QObject *parent = nullptr);

    GlobalData *globalData() const { return m_globalData; }
    AuthApi *passportApi() const { return m_passportApi; }
    GameListApi *gameListApi() const { return m_gameListApi; }
    RechargeApi *rechargeApi() const { return m_rechargeApi; }
    QrCodeGenerator *qrCodeGenerator() const { return m_qrCodeGenerator; }
    SingBoxManager *singBoxManager() const { return m_singBoxManager; }
    AccelerationSession *accelerationSession() const { return m_accelerationSession; }
    bool qmlDebuggerActive() const { return m_debuggerActive; }
    bool qmlDebuggerRequested() const { return m_debuggerRequested; }

private:
    const QPointer<GlobalData> m_globalData;
    const QPointer<AuthApi> m_passportApi;
    const QPointer<GameListApi> m_gameListApi;
    const QPointer<RechargeApi> m_rechargeApi;
    const QPointer<QrCodeGenerator> m_qrCodeGenerator;
    const QPointer<SingBoxManager> m_singBoxManager;
    const QPointer<AccelerationSession> m_accelerationSession;
    const bool m_debuggerActive;
    const bool m_debuggerRequested;
};

// Puts a text on the desktop's clipboard; false where there is none. Installed as the state store's
// clipboard writer when the back end is published.
bool copyToSystemClipboard(const QString &text);

// The objects the C++ singletons of the module give one engine; they are set before its first
// document loads and forgotten when the engine ends. Nothing set gives nullptr.
void setEngineSingletons(QQmlEngine &engine, const Backend &backend, WindowStart windowStart,
                         bool debuggerActive, bool debuggerRequested);
Preferences *enginePreferences(const QQmlEngine *engine);
AppObjects *engineApp(const QQmlEngine *engine);
WindowStartState *engineWindowStart(const QQmlEngine *engine);

} // namespace nimbra
