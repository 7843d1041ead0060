#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class GameChoice;
class GlobalData;
class Preferences;
class RouteListModel;
class RouteMeasurement;
class RouteSource;
class SingBoxManager;

namespace nimbra {
struct Backend;
}

namespace nimbra::accel {
struct ProbeRound;
}

// The acceleration itself: the start button's checks, the core's life and events, the reconnect, the
// boost time, and 智能选路 (a route chosen by its figures before a start, a failing route left for a
// better one while boosting). The game comes from the choice, the routes and their configuration from
// the route source, the figures from the measurement; it reports its lines and toasts as signals.
class AccelerationController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The session owns the acceleration controller.")

    Q_PROPERTY(bool boosting READ boosting NOTIFY boostingChanged)
    // The game a start under way accelerates; it becomes the game last accelerated once the core runs.
    Q_PROPERTY(QVariantMap pendingBoostGame READ pendingBoostGame NOTIFY pendingBoostGameChanged)
    // The automatic reconnect under way (0: none), so the start it ends in reads as a recovery.
    Q_PROPERTY(int reconnectAttempt READ reconnectAttempt NOTIFY reconnectAttemptChanged)
    Q_PROPERTY(int boostSeconds READ boostSeconds NOTIFY boostSecondsChanged)
    // The session's figures: bytes through the core's TUN since the session began, and the mean of the
    // accelerated route's measured latencies (the TCP handshake time to its node; -1 and "—" before one).
    Q_PROPERTY(double sessionSentBytes READ sessionSentBytes NOTIFY sessionTrafficChanged)
    Q_PROPERTY(double sessionReceivedBytes READ sessionReceivedBytes NOTIFY sessionTrafficChanged)
    Q_PROPERTY(int averageLatency READ averageLatency NOTIFY averageLatencyChanged)
    Q_PROPERTY(QString averageLatencyText READ averageLatencyText NOTIFY averageLatencyChanged)

public:
    AccelerationController(const nimbra::Backend &backend, GameChoice *choice, RouteSource *source,
                           RouteListModel *routes, RouteMeasurement *measurement, QObject *parent = nullptr);

    bool boosting() const { return m_boosting; }
    QVariantMap pendingBoostGame() const { return m_pendingBoostGame; }
    int reconnectAttempt() const { return m_reconnectAttempt; }
    int boostSeconds() const { return m_boostSeconds; }
    double sessionSentBytes() const;
    double sessionReceivedBytes() const;
    int averageLatency() const;
    QString averageLatencyText() const;
    // A core runs, starts or is accelerating: the game may not change.
    bool busy() const;

    // Staging a state directly, for tests and the screenshot tool; the interface never calls this.
    void stageBoosting(bool boosting) { setBoosting(boosting); }
    void stageFigures(int seconds, double sentBytes, double receivedBytes, double averageLatencyMs);

    // The start button: cancels a start in progress, else the first check that applies decides.
    Q_INVOKABLE void toggleAcceleration();
    // A fresh round for every route of the current game (the route dialog opening, a mode change).
    Q_INVOKABLE void measureRoutes(const QString &reason);

    // Ends acceleration at once (a sign-out): the core stops, a move or a start under way is dropped.
    void stop();
    // Rounds in flight and a choice waiting for them are dropped (a game switch).
    void cancelMeasurements();
    // The figures of the routes mean nothing any more (signed out).
    void forgetFigures();

signals:
    void boostingChanged();
    void pendingBoostGameChanged();
    void reconnectAttemptChanged();
    void boostSecondsChanged();
    void sessionTrafficChanged();
    void averageLatencyChanged();

    // A start while signed out: the interface opens the sign-in.
    void signInRequired();
    // A run-log line and a toast, for the session to show.
    void logLine(const QString &text, bool error, bool toConsole);
    // A line of the player's log: what the acceleration did, in the player's words.
    void playerLine(const QString &text, bool error);
    void toastRequested(const QString &text, bool warning);

private:
    void setBoosting(bool value);
    void setPendingBoostGame(const QVariantMap &value);
    void setReconnectAttempt(int value);
    void beginFigures();
    void toast(const QString &text, bool warning = false) { emit toastRequested(text, warning); }

    void requestMissingConfig();
    void startCore();

    void onCoreStarted();
    void onCoreStopped(int exitCode);
    void onReconnecting(int attempt, int limit, const QString &reason);
    void onReconnectAbandoned(const QString &message);
    void onStartFailed(const QString &message);
    void onProcessError(const QString &message);
    void onRoutesListed(const QVariantList &routes);
    void onNodeConfig(const QVariantMap &config, const QString &nodeId, bool current);
    void onNodeConfigFailed(const QString &text);
    void onPreferences();

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

    GlobalData *m_data;
    SingBoxManager *m_singBox;
    Preferences *m_preferences;
    GameChoice *m_choice;
    RouteSource *m_source;
    RouteListModel *m_routes;
    RouteMeasurement *m_measurement;

    bool m_boosting = false;
    QVariantMap m_pendingBoostGame;
    int m_reconnectAttempt = 0;
    int m_boostSeconds = 0;
    // The TUN byte counts when the session began, and the sum and count of its latencies.
    double m_sentBase = 0;
    double m_receivedBase = 0;
    double m_latencySumMs = 0;
    int m_latencyCount = 0;
    // Routes measured for a choice: the choice is made once their rounds are all in.
    QSet<QString> m_choiceKeys;
    QString m_lastMode;
    bool m_lastSmartRoute = false;
    // The move in progress: the route being moved to (empty: none). The selection stays on the route
    // the core carries until the core runs through the new one; the move ends by its start, a stop, a
    // sign-out, a failure or m_moveTimer. And when the last one was attempted (-1: never).
    QVariantMap m_moveTarget;
    bool m_moveRestarting = false;
    QTimer m_moveTimer;
    qint64 m_lastMoveMs = -1;

    QTimer m_idleTimer;
    QTimer m_boostTimer;
    QTimer m_probeTimer;
};
