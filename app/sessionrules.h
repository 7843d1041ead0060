// The acceleration session's rules: plain functions of their arguments, tested on their own.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <initializer_list>

// The run log's rules, plain functions of their arguments. An entry is a map of time, text, error and
// important (a game-address line, kept longest).
namespace runlog {

inline constexpr int kMaxEntries = 300;
inline constexpr int kMaxImportantEntries = 20;

// Within the cap: the last important entries (at most 20) first, then the last others.
QVariantList trimmed(const QVariantList &entries);
// The message's non-empty lines appended, then trimmed; isError decides per line.
QVariantList appendLines(const QVariantList &entries, const QString &message,
                         const std::function<bool(const QString &)> &isError, const QString &time);
QString text(const QVariantList &entries);
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
// The route to select after a route list arrived; found is false when every route is full or missing.
QVariantMap selectRoute(const QVariantList &routes, const QString &targetKey, bool *found);
// The idle figure's centre: the route's latency, else the game's ping, else 68.
int latencyBaseline(const QVariantMap &node, const QVariantMap &game);
int nextDisconnectedLatency(int baseline, double random);
double initialBoostedLatency(const QVariantMap &game, int disconnectedLatency);
double nextBoostedLatency(double current, double random);

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

} // namespace sessionrules
