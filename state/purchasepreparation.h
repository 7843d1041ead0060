#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class QSettings;

// Turns the service's purchase entry (a large, loosely shaped map) into the small per-mode record the
// purchase screen binds to, so that no binding ever walks the entry itself. Pure functions over variant
// maps and lists; every walk is bounded so that a malformed entry cannot stall the GUI thread.
namespace nimbra::purchase {

enum class Mode
{
    Shared,
    Private,
    Group
};

// "shared", "private" or "group": the keys of the prepared record.
QString modeName(Mode mode);

inline constexpr int kMaxProducts = 64;
inline constexpr int kProductDepthLimit = 8;
inline constexpr int kProductVisitLimit = 5000;
inline constexpr int kOptionDepthLimit = 7;
inline constexpr int kOptionVisitLimit = 3000;
inline constexpr int kMaxOptions = 128;

// Settings key of the cached public entry (application's default settings).
inline constexpr QLatin1StringView kPublicPurchaseEntryCache("data/public_purchase_entry");

// {"shared", "private", "group"} -> prepareMode of each, computed in that order.
QVariantMap preparePurchaseData(const QVariantMap &entry, const QVariantList &games);

// {products (preparePlan of each), ipOptions, regionOptions, teamOptions, gameOptions} of one mode. `games`
// (the game catalogue) stands in for the game options when the entry lists none.
QVariantMap prepareMode(const QVariantMap &entry, Mode mode, const QVariantList &games);

// Present: held with a valid, non-null value.
bool containsAny(const QVariantMap &map, const QStringList &keys);
// Text form of the first key (in list order) whose value converts to a non-empty string; empty when none.
QString firstString(const QVariantMap &map, const QStringList &keys);
// An identity key and a name or price key, or (without identity) both a name and a price key.
bool looksLikeProduct(const QVariantMap &map);
// Holds any membership key, whatever its value.
bool looksLikeMembership(const QVariantMap &map);

// Appends product-like maps found below `value` (not descending into a product), in list order and
// ascending key order. Stops at depth kProductDepthLimit, after kProductVisitLimit visits counted in
// `visits`, or once `products` holds kMaxProducts items.
void collectProducts(const QVariant &value, QVariantList &products, int depth, int &visits);

// One product per member of the mode map's price_map ("<node>_<region>_<count>" keys, e.g. "1_guofu_5"),
// named from the matching node type and region. Appends at most until `products` holds kMaxProducts.
void appendGroupPriceMapProducts(const QVariantMap &modeMap, QVariantList &products);

// One product per region row of each node type (and per node type priced directly), at most kMaxProducts.
QVariantList synthesizePrivateProducts(const QVariantMap &modeMap);

// The first option list under one of `keys` at or below `value` (a map-form list becomes one map per
// member). Bounded by depth kOptionDepthLimit and kOptionVisitLimit calls counted in `visits`; at most
// kMaxOptions items.
QVariantList findOptions(const QVariant &value, const QStringList &keys, int depth, int &visits);

// Option maps {value, text, ids: the node type and region ids and keys the item holds, packageName (text),
// gameId (game_id, else id; null when none), raw: the item (maps only)}; items without a value are
// skipped; at most kMaxOptions.
QVariantList normalizeOptions(const QVariantList &list, const QStringList &valueKeys,
                              const QStringList &textKeys);

// Region options over all node types' regions, each region key once (the first node type wins). `limit`
// (negative: none) stops the walk early once that many options exist.
QVariantList privateRegionOptions(const QVariantMap &modeMap, qsizetype limit = -1);

// "guofu" -> "国服" etc. (trimmed, case-insensitive); any other key unchanged.
QString groupRegionName(const QString &key);

// The user's membership carried by an entry: the first membership-like map among the entry's
// membership/member/vip, those of its user/account/profile/data containers, then the entry itself.
// Empty when none.
QVariantMap extractMembership(const QVariantMap &entry);

// The games the preparation uses: the library page when it has any, else the common games.
QVariantList gamesForPreparation(const QVariantList &pageGames, const QVariantList &commonGames);

// Number of products of one mode in a prepared record, and of the group mode's game options.
int preparedProductCount(const QVariantMap &prepared, Mode mode);
int preparedGroupGameCount(const QVariantMap &prepared);

// Log lines of the state store, with their figures filled in.
QString preparedLogLine(const QVariantMap &prepared, qint64 elapsedMs);
QString publicEntryCachedLogLine(const QVariantMap &entry);
QString restoredLogLine(const QVariantMap &prepared);

// The cached entry from a stored settings value: a map as it is, or JSON text holding an object.
QVariantMap cachedEntryFromSettingsValue(const QVariant &stored);
QVariantMap readCachedPurchaseEntry(const QSettings &settings);
// Stored as the settings store's native variant map.
void writeCachedPurchaseEntry(QSettings &settings, const QVariantMap &entry);

} // namespace nimbra::purchase
