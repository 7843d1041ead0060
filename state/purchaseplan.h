#pragma once

#include "purchasepreparation.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

// One plan of the purchase screen in the fixed shape its views read, so that no script guesses at the
// service's many names for a plan's name, price or benefits. Pure functions over variant maps.
namespace nimbra::purchase {

inline constexpr int kMaxBenefits = 6;
inline constexpr int kBenefitDepthLimit = 8;

// {name, description, unit, flag, unavailableText: text; available: bool; priceFen: whole fen (the
// price without an IP type), priceText: it as shown; pricesByIp: {ip type: fen}, priceTextsByIp:
// {ip type: text}; benefits: [{title, detail}] (at most kMaxBenefits);
// memberCount: number (0: none); nodeType (node type key, else id), ipType (nodeType, else ip_type),
// region (region key, else id), regionName: text; ids: the node type and region ids and keys it holds;
// payload: the order request; raw: the product as the service sent it}.
QVariantMap preparePlan(const QVariantMap &product, Mode mode);

// The unit after a plan's price for a period of the given days: "/周", "/月", "/季", "/半年", "/年" for
// the usual periods, "/N天" for any other whole number of days, empty when the period is unknown.
QString periodUnit(double days);

// The order request for a product: its own request members, then its selector members; a code is never
// turned into a product id. Empty when the product names nothing to order.
QVariantMap planPayload(const QVariantMap &product);

// Whether a value holds a JSON object or array, whichever form the reply's parser gave it.
bool isMap(const QVariant &value);
bool isList(const QVariant &value);

// Number(value) of the scripts: a number, a numeric text (empty: 0) or a flag; anything else 0.
double looseNumber(const QVariant &value);

} // namespace nimbra::purchase
