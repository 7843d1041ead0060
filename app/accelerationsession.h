#pragma once

#include "app/gamechoice.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/runlogmodel.h"
#include "app/sessionrules.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <functional>

class AcceleratorApi;
class AuthApi;
class GameListApi;
class GlobalData;
class HttpManager;
class RechargeApi;
class SingBoxManager;
class Preferences;

namespace nimbra {
struct Backend;
}

// The acceleration session: the game choice (GameChoice), its routes and configuration, the start button with
// its checks, the core's events, the run log, the toast and the figures the window shows. It runs on the
// interface's thread and talks to the back-end objects directly; the window binds to its properties and
// reacts to the signals that concern only the interface (which menu or dialog is open).
class AccelerationSession : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application creates the session.")

    // The game and region accelerated, and the game last accelerated.
    Q_PROPERTY(GameChoice *choice READ choice CONSTANT)
    Q_PROPERTY(QString line READ line NOTIFY lineChanged)
    Q_PROPERTY(bool boosting READ boosting NOTIFY boostingChanged)
    Q_PROPERTY(bool routesLoading READ routesLoading NOTIFY routesLoadingChanged)
    Q_PROPERTY(bool routeConfigLoading READ routeConfigLoading NOTIFY routeConfigLoadingChanged)
    Q_PROPERTY(bool gameDetailLoading READ gameDetailLoading NOTIFY gameDetailLoadingChanged)
    Q_PROPERTY(QString routeError READ routeError NOTIFY routeErrorChanged)
    Q_PROPERTY(QVariantList nodes READ nodes NOTIFY nodesChanged)
    Q_PROPERTY(QVariantMap selectedNode READ selectedNode NOTIFY selectedNodeChanged)
    Q_PROPERTY(QVariantMap pendingBoostGame READ pendingBoostGame NOTIFY pendingBoostGameChanged)
    Q_PROPERTY(int reconnectAttempt READ reconnectAttempt NOTIFY reconnectAttemptChanged)
    Q_PROPERTY(int boostSeconds READ boostSeconds NOTIFY boostSecondsChanged)
    // The routes' measured figures: the selected route's latency, loss and latency history.
    Q_PROPERTY(RouteMeasurement *measurement READ measurement CONSTANT)
    // The current game's routes with their kinds, measured figures and the selection.
    Q_PROPERTY(RouteListModel *routes READ routes CONSTANT)
    Q_PROPERTY(QString toastText READ toastText NOTIFY toastChanged)
    Q_PROPERTY(bool toastWarning READ toastWarning NOTIFY toastChanged)
    Q_PROPERTY(RunLogModel *runLog READ runLog CONSTANT)
    Q_PROPERTY(QString clockText READ clockText NOTIFY clockTextChanged)
    Q_PROPERTY(QString selectedRouteConfig READ selectedRouteConfig NOTIFY selectedNodeChanged)

public:
    explicit AccelerationSession(const nimbra::Backend &backend, QObject *parent = nullptr);

    GameChoice *choice() { return &m_choice; }
    QString line() const { return m_line; }
    bool boosting() const { return m_boosting; }
    bool routesLoading() const { return m_routesLoading; }
    bool routeConfigLoading() const { return m_routeConfigLoading; }
    bool gameDetailLoading() const { return m_gameDetailLoading; }
    QString routeError() const { return m_routeError; }
    QVariantList nodes() const { return m_nodes; }
    QVariantMap selectedNode() const { return m_selectedNode; }
    QVariantMap pendingBoostGame() const { return m_pendingBoostGame; }
    int reconnectAttempt() const { return m_reconnectAttempt; }
    int boostSeconds() const { return m_boostSeconds; }
    RouteMeasurement *measurement() { return &m_measurement; }
    RouteListModel *routes() { return &m_routes; }
    QString toastText() const { return m_toastText; }
    bool toastWarning() const { return m_toastWarning; }
    RunLogModel *runLog() { return &m_runLog; }
    QString clockText() const { return m_clockText; }
    QString selectedRouteConfig() const;

    // The prober the figures come from (not owned); by default the measurement makes its own on first use.
    void setProber(nimbra::accel::LatencyProber *prober) { m_measurement.setProber(prober); }
    // Milliseconds of a steady clock; tests drive the move rule with their own.
    void setClock(std::function<qint64()> clock) { m_measurement.setClock(std::move(clock)); }

    // Staging a state directly, for tests and the screenshot tool; the interface never calls these.
    void stageSelection(const QVariantMap &game, const QVariantList &nodes, const QVariantMap &node);
    void stageBoosting(bool boosting) { setBoosting(boosting); }

    // The recent game restored, the start-up lines logged; once, when the window is up.
    Q_INVOKABLE void startUp(bool debuggerRequested, bool debuggerActive);
    // A game record, or a game's id from the known lists.
    Q_INVOKABLE void chooseGame(const QVariant &gameOrId);
    Q_INVOKABLE void chooseNode(const QVariantMap &node);
    Q_INVOKABLE void requestGameDetail(const QVariantMap &game, const QString &reason);
    Q_INVOKABLE void requestRoutes(const QString &reason);
    Q_INVOKABLE void requestNodeConfig(const QVariantMap &node, const QString &reason);
    Q_INVOKABLE void ensureSelectedGame();
    // A fresh round for every route of the current game (the route dialog opening, a mode change).
    Q_INVOKABLE void measureRoutes(const QString &reason);
    // The start button: cancels a start in progress, else the first check that applies decides.
    Q_INVOKABLE void toggleAcceleration();
    Q_INVOKABLE void signOut();

    Q_INVOKABLE void toast(const QString &message, bool warning = false);
    Q_INVOKABLE void appendSingBoxLog(const QString &message, bool error = false);
    Q_INVOKABLE void appendAppLog(const QString &message, bool error = false, bool forwardToConsole = true);
    Q_INVOKABLE void clearSingBoxLogs();
    Q_INVOKABLE void copySingBoxLogs();

signals:
    void lineChanged();
    void boostingChanged();
    void routesLoadingChanged();
    void routeConfigLoadingChanged();
    void gameDetailLoadingChanged();
    void routeErrorChanged();
    void nodesChanged();
    void selectedNodeChanged();
    void pendingBoostGameChanged();
    void reconnectAttemptChanged();
    void boostSecondsChanged();
    void toastChanged();
    void clockTextChanged();

    // For the interface: a game was chosen (menus close, the home page shows), a route was chosen (its
    // dialog closes), the start needs a sign-in first, the user signs out (the account menu closes).
    void gameChosen();
    void nodeChosen();
    void signInRequired();
    void signingOut();

private:
    void setLine(const QString &value);
    void setBoosting(bool value);
    void setRoutesLoading(bool value);
    void setRouteConfigLoading(bool value);
    void setGameDetailLoading(bool value);
    void setRouteError(const QString &value);
    void setNodes(const QVariantList &value);
    void setSelectedNode(const QVariantMap &value);
    void setPendingBoostGame(const QVariantMap &value);
    void setReconnectAttempt(int value);

    bool coreBusy() const;
    void requestMissingConfig();
    void startCore();

    void onDetail(const QVariantMap &detail);
    void onDetailFailed(const QString &operation, const QString &message);
    void onRoutes(const QVariantList &routes, const QString &loadedGameId);
    void onNodeConfig(const QVariantMap &config, const QString &loadedGameId, const QString &nodeId);
    void onRouteFailure(const QString &operation, const QString &message);
    void onAccount();
    void onCoreStarted();
    void onCoreStopped(int exitCode);
    void onReconnecting(int attempt, int limit, const QString &reason);
    void onReconnectAbandoned(const QString &message);
    void onStartFailed(const QString &message);
    void onProcessError(const QString &message);
    void onOutput(const QString &text);
    void updateClock();
    void tickBoost();

    void measure(const QVariantList &routes, bool choose);
    void onRound(const nimbra::accel::ProbeRound &round);
    void chooseMeasuredRoute();
    void considerMove();
    void moveTo(const QVariantMap &route);
    void completeMove();
    // Ends a move under way without it (a stop, a sign-out, a failure, its time-out); true when its core
    // was being started.
    bool abandonMove();
    void failMove(const QString &reason);
    // Rounds in flight and a choice waiting for them are dropped (a game switch, a stop, a sign-out).
    void cancelMeasurements();
    bool canRequestConfig(const QVariantMap &node) const;
    void sendConfigRequest(const QVariantMap &node, const QString &reason);
    void onPreferences();

    GlobalData *m_data;
    AuthApi *m_auth;
    GameListApi *m_gameList;
    AcceleratorApi *m_accelerator;
    RechargeApi *m_recharge;
    SingBoxManager *m_singBox;
    Preferences *m_preferences;

    GameChoice m_choice;

    QString m_line = QStringLiteral("等待线路");
    bool m_boosting = false;
    bool m_routesLoading = false;
    bool m_routeConfigLoading = false;
    bool m_gameDetailLoading = false;
    QString m_gameDetailKey;
    // Details already answered: an answer without addresses is not asked again on its own.
    QSet<QString> m_loadedDetailKeys;
    QString m_routeError;
    QVariantList m_nodes;
    QVariantMap m_selectedNode;
    QVariantMap m_pendingBoostGame;
    // The automatic reconnect under way (0: none), so the start it ends in reads as a recovery.
    int m_reconnectAttempt = 0;
    int m_boostSeconds = 0;
    // The routes as the views list them, and their measured figures.
    RouteListModel m_routes;
    RouteMeasurement m_measurement{m_routes};
    // Routes measured for a choice: the choice is made once their rounds are all in.
    QSet<QString> m_choiceKeys;
    // The game the route list belongs to: a choice is made only from the current game's list.
    QString m_nodesGameId;
    QString m_lastMode;
    bool m_lastSmartRoute = false;
    // The move in progress: the route being moved to (empty: none). The selection stays on the route
    // the core carries until the core runs through the new one; the move ends by its start, a stop, a
    // sign-out, a failure or m_moveTimer. And when the last one was attempted (-1: never).
    QVariantMap m_moveTarget;
    bool m_moveRestarting = false;
    QTimer m_moveTimer;
    qint64 m_lastMoveMs = -1;
    QString m_toastText;
    bool m_toastWarning = false;
    RunLogModel m_runLog;
    QString m_clockText;
    bool m_routesQueued = false;

    QTimer m_toastTimer;
    QTimer m_clockTimer;
    QTimer m_idleTimer;
    QTimer m_boostTimer;
    QTimer m_probeTimer;
};
