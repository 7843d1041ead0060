// The acceleration session's rules: plain functions of their arguments, tested on their own.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <initializer_list>

// How the core's output reads in the run log (RunLogModel keeps the lines).
namespace runlog {

QString stripAnsi(const QString &text);
bool isCoreErrorLine(const QString &line);

} // namespace runlog

// The session's rules that a test checks on their own.
namespace sessionrules {

// Whether a configuration answered for nodeId belongs to this route (by its request key or node_id).
bool nodeMatchesConfig(const QVariantMap &node, const QString &nodeId);
// A game's region: its first server entry, else its country, else the default region.
QString gameRegion(const QVariantMap &game);
// The region to show once the game's record is known: the current one when the game offers it (its
// servers, else its country), else the game's own first region. A game that names none keeps it.
QString regionWithin(const QVariantMap &game, const QString &current);
// The route configuration as the text the runtime configuration builder takes.
QString routeConfigText(const QVariantMap &node);
// A route no one can join: the service says so, or its load has reached its capacity.
bool routeFull(const QVariantMap &route);
// The route to select after a route list arrived; found is false when every route is full or missing.
QVariantMap selectRoute(const QVariantList &routes, const QString &targetKey, bool *found);

} // namespace sessionrules

// Measured figures and the choice of route they drive.
namespace sessionrules {

// "丢包" is the share lost among the route's last 30 probes.
inline constexpr int kLossWindowProbes = 30;
// While boosting, the route in use is judged on its probes of the last 30 s, and left at most once
// every 2 minutes.
inline constexpr qint64 kMoveWindowMs = 30000;
inline constexpr qint64 kMoveIntervalMs = 120000;
inline constexpr double kMoveLossLimit = 0.20;
// A move whose configuration has not arrived by then is given up; the route in use stays.
inline constexpr int kMoveConfigTimeoutMs = 15000;

enum class RouteMode
{
    Balanced,
    Stable,
    Esports
};
// "极速电竞", "稳定优先"; anything else is "智能匹配".
RouteMode routeMode(const QString &label);

// A route's last measured round as the choice reads it.
struct Measured
{
    double medianMs = -1; // negative: no probe of the round answered
    double jitterMs = 0;
    double loss = 1;
    bool full = false;

    bool answered() const { return medianMs >= 0; }
};

// The free, answering route to use by mode, -1 when none: "极速电竞" the lowest latency, "稳定优先" the
// lowest loss and then the lowest jitter, "智能匹配" the lowest balanced score. Routes within a small
// margin of the best count as equal; of those the current one stays, else the first listed.
int chooseRoute(const QList<Measured> &routes, RouteMode mode, int current);
// "智能匹配": latency plus twice the jitter plus 3 ms per point of loss (20 % loss weighs 60 ms).
double balancedScore(const Measured &route);

// Share of lost probes (negative samples) among the last kLossWindowProbes; negative when none.
double recentLoss(const QList<double> &samples);

// Where a route is probed: its endpoint's host (a URL's host) and the node's TCP port from the route
// or its configuration (`server_port`; 0 when unknown); udpOnly for a protocol that has no TCP.
struct ProbeAddress
{
    QString host;
    quint16 port = 0;
    bool udpOnly = false;
};
ProbeAddress probeAddress(const QVariantMap &route);

// The route in use should be left: it lost more than 20 % over the window or stopped answering.
bool routeFailing(double windowLoss, bool lastRoundAnswered);
// The route to move to from a failing one, -1 when none: of the free, answering routes whose loss is at
// least ten points below the current route's, the one the mode prefers.
int moveTarget(const QList<Measured> &routes, int current, double currentLoss, RouteMode mode);
// No move within kMoveIntervalMs of the last (lastMoveMs negative: none yet).
bool moveAllowed(qint64 lastMoveMs, qint64 nowMs);

// "23 ms", or "—" before a figure exists.
QString latencyText(double ms);
// "2.0%", or "—" before a probe was made.
QString lossText(double loss);

} // namespace sessionrules

// Reading the loosely typed records the service and the interface hand over.
namespace sessionrules {

// The placeholder record the views show while no game is known (as the game list's own placeholder).
QVariantMap emptyGame();
// Values arrive from the interface as script values or as plain variants; the flows read plain ones.
QVariant plain(const QVariant &value);
bool isBlank(const QVariant &value);
// The value as text; "" when missing or null.
QString textOf(const QVariant &value);
// A script's truth of a value: missing, null, false, 0 and "" are false.
bool truthy(const QVariant &value);
bool isTrue(const QVariant &value);
// The first non-empty value of the given keys, as trimmed text; "" when none.
QString firstText(const QVariantMap &record, std::initializer_list<const char *> keys);
QString nodeRequestKey(const QVariantMap &node);
QString nodeStableKey(const QVariantMap &node);
bool nodeRequestable(const QVariantMap &node);
QString nodeName(const QVariantMap &node);
// A text is split; a list is taken as it is.
QStringList gameIpList(const QVariantMap &game);
QString detailKey(const QString &packageName, const QString &country);
QString gamePackageName(const QVariantMap &game);

// Stores value; true when it changed, so the caller emits the change.
template<class T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace sessionrules
