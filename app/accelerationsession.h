#pragma once

#include "app/accelerationcontroller.h"
#include "app/gamechoice.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/routesource.h"
#include "app/runlogmodel.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <functional>

class AuthApi;
class GlobalData;
class RechargeApi;

namespace nimbra {
struct Backend;
}

// The acceleration session: the objects of the acceleration flow, made and connected here and handed to
// QML as typed properties (the game choice, the route source, the routes and their measurement, the
// acceleration controller, the run log), and what spans them: the start-up, a game switch, a sign-out,
// the toast and the clock. The window binds to the objects and reacts to the signals that concern only
// the interface (which menu or dialog is open).
class AccelerationSession : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application creates the session.")

    // The game and region accelerated, and the game last accelerated.
    Q_PROPERTY(GameChoice *choice READ choice CONSTANT)
    // The chosen game's detail, routes and node configuration, and the route selected.
    Q_PROPERTY(RouteSource *routeSource READ routeSource CONSTANT)
    // The start button, the core's life, the reconnect, the route move and the boost time.
    Q_PROPERTY(AccelerationController *controller READ controller CONSTANT)
    // The routes' measured figures: the selected route's latency, loss and latency history.
    Q_PROPERTY(RouteMeasurement *measurement READ measurement CONSTANT)
    // The current game's routes with their kinds, measured figures and the selection.
    Q_PROPERTY(RouteListModel *routes READ routes CONSTANT)
    // The technical log: every line of the client and the core, as the log file has them.
    Q_PROPERTY(RunLogModel *runLog READ runLog CONSTANT)
    // The player's log: what the acceleration did (start, stop, routes, measurements, errors), in the
    // player's words. Its lines are in the technical log too; the core's output never is here.
    Q_PROPERTY(RunLogModel *playerLog READ playerLog CONSTANT)
    Q_PROPERTY(QString toastText READ toastText NOTIFY toastChanged)
    Q_PROPERTY(bool toastWarning READ toastWarning NOTIFY toastChanged)
    Q_PROPERTY(QString clockText READ clockText NOTIFY clockTextChanged)
    // The game a click asked for while accelerating another one, until the player answers; empty when
    // no switch waits for an answer.
    Q_PROPERTY(QVariantMap switchTarget READ switchTarget NOTIFY switchTargetChanged)

public:
    explicit AccelerationSession(const nimbra::Backend &backend, QObject *parent = nullptr);

    GameChoice *choice() { return &m_choice; }
    RouteSource *routeSource() { return &m_routeSource; }
    AccelerationController *controller() { return &m_controller; }
    RouteMeasurement *measurement() { return &m_measurement; }
    RouteListModel *routes() { return &m_routes; }
    RunLogModel *runLog() { return &m_runLog; }
    RunLogModel *playerLog() { return &m_playerLog; }
    QString toastText() const { return m_toastText; }
    bool toastWarning() const { return m_toastWarning; }
    QString clockText() const { return m_clockText; }
    QVariantMap switchTarget() const { return m_switchTarget; }

    // The prober the figures come from (not owned); by default the measurement makes its own on first use.
    void setProber(nimbra::accel::LatencyProber *prober) { m_measurement.setProber(prober); }
    // Milliseconds of a steady clock; tests drive the move rule with their own.
    void setClock(std::function<qint64()> clock) { m_measurement.setClock(std::move(clock)); }

    // The recent game restored, the start-up lines logged; once, when the window is up.
    Q_INVOKABLE void startUp(bool debuggerRequested, bool debuggerActive);
    // A game record, or a game's id from the known lists. While accelerating another game it becomes
    // the switch target the player is asked about; while a core starts or stops it is refused.
    Q_INVOKABLE void chooseGame(const QVariant &gameOrId);
    // The player's answer: the acceleration stops, the target becomes the game, and acceleration
    // starts on it once its addresses, routes and configuration are in (or says why it cannot).
    Q_INVOKABLE void confirmSwitch();
    Q_INVOKABLE void cancelSwitch();
    Q_INVOKABLE void signOut();

    Q_INVOKABLE void toast(const QString &message, bool warning = false);
    Q_INVOKABLE void appendSingBoxLog(const QString &message, bool error = false);
    Q_INVOKABLE void appendAppLog(const QString &message, bool error = false, bool forwardToConsole = true);
    // A line of the player's log (and so of the technical one).
    Q_INVOKABLE void appendPlayerLog(const QString &message, bool error = false);
    // Both logs.
    Q_INVOKABLE void clearSingBoxLogs();
    // The log shown: every line of the technical log, else every line of the player's.
    Q_INVOKABLE void copySingBoxLogs(bool technical = true);

signals:
    void toastChanged();
    void clockTextChanged();
    void switchTargetChanged();

    // For the interface: a game was chosen (menus close, the home page shows), the user signs out (the
    // account menu closes).
    void gameChosen();
    void signingOut();

private:
    void onAccount();
    void updateClock();
    void setSwitchTarget(const QVariantMap &game);
    void switchNow(const QVariantMap &record);
    void onBoostingChanged();
    void startAfterSwitch();

    GlobalData *m_data;
    AuthApi *m_auth;
    RechargeApi *m_recharge;

    // Made in this order: each takes the ones before it, and the log outlives all that write to it.
    RunLogModel m_runLog;
    RunLogModel m_playerLog;
    GameChoice m_choice;
    RouteListModel m_routes;
    RouteMeasurement m_measurement{m_routes};
    RouteSource m_routeSource;
    AccelerationController m_controller;

    QString m_toastText;
    bool m_toastWarning = false;
    QString m_clockText;
    QVariantMap m_switchTarget;
    // Confirmed: the game chosen once the core has stopped, then started once ready.
    QVariantMap m_switchAfterStop;
    bool m_startWhenReady = false;
    QTimer m_toastTimer;
    QTimer m_clockTimer;
};
