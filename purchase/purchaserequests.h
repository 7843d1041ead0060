#pragma once

#include <QString>
#include <QVariantMap>

// The bodies of the purchase screens' requests, built from what the screens hold: a prepared plan
// (state/purchaseplan) and the choices made, a looked-up team, the leader entry, an order record
// (purchaserecords). Pure functions; an empty map means there is nothing to ask for.
namespace nimbra::purchase {

// The trimmed text of a string or a finite number; anything else has none.
QString variantText(const QVariant &value);
// A number's whole part; 0 for anything that is no finite number.
qint64 variantInteger(const QVariant &value);
// Whether a value is given: neither missing, null nor an empty text.
bool isSet(const QVariant &value);
// The choice ({value, text, ...}) of a list whose value reads as `value`; empty when none.
QVariantMap choiceOf(const QVariant &choices, const QString &value);

// The order of a plan: its prepared payload with the choices of its mode. `selection` holds
// ipType, region (text), ipOptions, regionOptions (option lists whose items carry their ids under
// `ids`), products (the mode's plans), teamSize (number), gameOption ({packageName, gameId} or
// nothing) and gameId (the chosen game's value). Empty when the plan names nothing to order.
QVariantMap planOrderBody(const QString &mode, const QVariantMap &plan, const QVariantMap &selection);

// A seat in a leader's team: the team's join payload with the code and the game. The game goes by
// package name only; a game_id of the payload would contradict the chosen game.
QVariantMap seatOrderBody(const QVariantMap &team, const QString &code, const QString &packageName);

// A leader's new team of the line, region and size chosen in the leader entry (normalizeLeaderEntry);
// empty when the combination has no purchasable price item.
QVariantMap teamCreateBody(const QVariantMap &entry, const QString &line, const QString &region, int size);

// What a group detail is asked for: the most specific key the order carries (team, group, code, else
// the given order id); empty when it carries none.
QVariantMap groupDetailQuery(const QVariantMap &order, qint64 orderId);

} // namespace nimbra::purchase
