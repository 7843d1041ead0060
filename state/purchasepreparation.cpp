#include "purchasepreparation.h"

#include "purchaseplan.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>

namespace nimbra::purchase {

namespace {

// Key lists, in the order they are tried.
const QStringList kSharedModeKeys = {QStringLiteral("shared"), QStringLiteral("share"),
                                     QStringLiteral("common")};
const QStringList kPrivateModeKeys = {QStringLiteral("private"), QStringLiteral("exclusive"),
                                      QStringLiteral("dedicated")};
const QStringList kGroupModeKeys = {QStringLiteral("group"), QStringLiteral("pintuan"),
                                    QStringLiteral("team")};
const QStringList kProductIdentityKeys = {QStringLiteral("product_id"), QStringLiteral("plan_id"),
                                          QStringLiteral("sku_id"),     QStringLiteral("goods_id"),
                                          QStringLiteral("package_id"), QStringLiteral("product_code"),
                                          QStringLiteral("plan_code"),  QStringLiteral("code"),
                                          QStringLiteral("key"),        QStringLiteral("id")};
const QStringList kProductNameKeys = {QStringLiteral("name"),         QStringLiteral("title"),
                                      QStringLiteral("plan_name"),    QStringLiteral("product_name"),
                                      QStringLiteral("package_name"), QStringLiteral("label")};
const QStringList kProductPriceKeys = {
    QStringLiteral("price"),        QStringLiteral("user_price"),    QStringLiteral("pay_price"),
    QStringLiteral("order_price"),  QStringLiteral("sale_price"),    QStringLiteral("amount"),
    QStringLiteral("origin_price"), QStringLiteral("duration_days"), QStringLiteral("price_info"),
    QStringLiteral("prices"),       QStringLiteral("price_by_ip")};
const QStringList kMembershipKeys = {QStringLiteral("vip_num"),   QStringLiteral("vipNum"),
                                     QStringLiteral("is_vip"),    QStringLiteral("active"),
                                     QStringLiteral("vip_type"),  QStringLiteral("member_type"),
                                     QStringLiteral("expire_at"), QStringLiteral("vip_expire_at"),
                                     QStringLiteral("end_time"),  QStringLiteral("valid_until")};
const QStringList kIpListKeys = {QStringLiteral("ip_types"), QStringLiteral("ips"),
                                 QStringLiteral("ip_options"), QStringLiteral("private_ip_types")};
const QStringList kRegionListKeys = {QStringLiteral("regions"), QStringLiteral("areas"),
                                     QStringLiteral("region_options")};
const QStringList kTeamListKeys = {QStringLiteral("team_sizes"), QStringLiteral("member_counts"),
                                   QStringLiteral("group_sizes")};
const QStringList kGameListKeys = {QStringLiteral("available_games"), QStringLiteral("games"),
                                   QStringLiteral("game_options")};
const QStringList kPlaceValueKeys = {QStringLiteral("value"), QStringLiteral("code"), QStringLiteral("id"),
                                     QStringLiteral("name")};
const QStringList kPlaceTextKeys = {QStringLiteral("label"), QStringLiteral("name"), QStringLiteral("title"),
                                    QStringLiteral("value")};
const QStringList kTeamValueKeys = {QStringLiteral("value"), QStringLiteral("count"), QStringLiteral("size"),
                                    QStringLiteral("id")};
const QStringList kTeamTextKeys = {QStringLiteral("label"), QStringLiteral("name"), QStringLiteral("title"),
                                   QStringLiteral("value"), QStringLiteral("count")};
const QStringList kGameValueKeys = {QStringLiteral("package_name"), QStringLiteral("game_id"),
                                    QStringLiteral("id"), QStringLiteral("value"), QStringLiteral("code")};
const QStringList kGameTextKeys = {QStringLiteral("name"), QStringLiteral("title"), QStringLiteral("label"),
                                   QStringLiteral("value")};
const QStringList kOptionIdentityKeys = {QStringLiteral("value"), QStringLiteral("code"),
                                         QStringLiteral("id"), QStringLiteral("name")};
const QStringList kMembershipMemberKeys = {QStringLiteral("membership"), QStringLiteral("member"),
                                           QStringLiteral("vip")};
const QStringList kMembershipContainerKeys = {QStringLiteral("user"), QStringLiteral("account"),
                                              QStringLiteral("profile"), QStringLiteral("data")};

const QString kNodeTypes = QStringLiteral("node_types");
const QString kRegions = QStringLiteral("regions");
const QString kNodeTypeId = QStringLiteral("node_type_id");
const QString kNodeTypeKey = QStringLiteral("node_type_key");
const QString kNodeTypeName = QStringLiteral("node_type_name");
const QString kRegionId = QStringLiteral("region_id");
const QString kRegionKey = QStringLiteral("region_key");
const QString kRegionName = QStringLiteral("region_name");
const QString kDurationDays = QStringLiteral("duration_days");
const QString kValue = QStringLiteral("value");
const QString kLabel = QStringLiteral("label");
const QString kText = QStringLiteral("text");
const QString kName = QStringLiteral("name");
const QString kDescription = QStringLiteral("description");
const QString kProductType = QStringLiteral("product_type");
const QString kProducts = QStringLiteral("products");
const QString kGameOptions = QStringLiteral("gameOptions");
const QString kDefaultNodeName = QStringLiteral("独享节点");
const QString kDefaultRegionName = QStringLiteral("默认区服");
const QString kSeparator = QStringLiteral(" · ");
const QString kIds = QStringLiteral("ids");
const QString kPackageName = QStringLiteral("packageName");
const QString kGameId = QStringLiteral("gameId");

// The walks visit thousands of nodes: a map or list held directly is read in place instead of copied.
const QVariantMap &mapView(const QVariant &value, QVariantMap &storage)
{
    if (value.typeId() == QMetaType::QVariantMap)
        return *static_cast<const QVariantMap *>(value.constData());
    storage = isMap(value) ? value.toMap() : QVariantMap();
    return storage;
}

const QVariantList &listView(const QVariant &value, QVariantList &storage)
{
    if (value.typeId() == QMetaType::QVariantList)
        return *static_cast<const QVariantList *>(value.constData());
    storage = isList(value) ? value.toList() : QVariantList();
    return storage;
}

// The stored value itself, so that views into it outlive the expression (QMap::value returns a copy).
const QVariant &member(const QVariantMap &map, const QString &key)
{
    static const QVariant none;
    const auto it = map.constFind(key);
    return it == map.constEnd() ? none : it.value();
}

QVariantMap mapOf(const QVariant &value)
{
    return isMap(value) ? value.toMap() : QVariantMap();
}

QVariantList listOf(const QVariant &value)
{
    return isList(value) ? value.toList() : QVariantList();
}

bool present(const QVariantMap &map, const QString &key)
{
    const auto it = map.constFind(key);
    return it != map.constEnd() && it->isValid() && !it->isNull();
}

QString textOf(const QVariantMap &map, const QString &key)
{
    return map.value(key).toString();
}

QString textOr(const QVariantMap &map, const QString &key, const QString &fallback)
{
    const QString text = textOf(map, key);
    return text.isEmpty() ? fallback : text;
}

const QStringList &modeKeys(Mode mode)
{
    switch (mode) {
    case Mode::Private:
        return kPrivateModeKeys;
    case Mode::Group:
        return kGroupModeKeys;
    case Mode::Shared:
        break;
    }
    return kSharedModeKeys;
}

// A map-form option list ({"residential": "住宅 IP"}): one map per member, named by the member.
QVariantList mapFormCandidates(const QVariantMap &members)
{
    QVariantList candidates;
    for (auto it = members.constBegin(); it != members.constEnd() && candidates.size() < kMaxOptions; ++it) {
        QVariantMap item = mapOf(it.value());
        if (item.isEmpty())
            item = {{kLabel, it.value()}};
        if (!containsAny(item, kOptionIdentityKeys))
            item.insert(kValue, it.key());
        candidates.append(item);
    }
    return candidates;
}

QVariantList optionCandidates(const QVariant &value)
{
    if (isList(value)) {
        QVariantList storage;
        const QVariantList &list = listView(value, storage);
        return list.size() <= kMaxOptions ? list : list.mid(0, kMaxOptions);
    }
    if (isMap(value)) {
        QVariantMap storage;
        return mapFormCandidates(mapView(value, storage));
    }
    return {};
}

// The current product first, then the mode value; each with its own visit budget.
QVariantList searchOptions(const QVariant &product, const QVariant &modeValue, const QStringList &keys)
{
    for (const QVariant *container : {&product, &modeValue}) {
        int visits = 0;
        QVariantList found = findOptions(*container, keys, 0, visits);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

// Node types as IP options when the entry lists no IP types. Stops at kMaxOptions: every item has a
// value, so normalizeOptions would drop the rest anyway.
QVariantList nodeTypeIpOptions(const QVariantMap &modeMap)
{
    QVariantList options;
    QVariantList storage;
    for (const QVariant &value : listView(member(modeMap, kNodeTypes), storage)) {
        if (options.size() >= kMaxOptions)
            break;
        QVariantMap nodeType = mapOf(value);
        if (nodeType.isEmpty())
            continue;
        const QVariant key =
            present(nodeType, kNodeTypeKey) ? nodeType.value(kNodeTypeKey) : nodeType.value(kNodeTypeId);
        const QString keyText = key.toString();
        if (keyText.isEmpty())
            continue;
        const QString name = textOr(nodeType, kNodeTypeName, keyText);
        nodeType.insert(kValue, key);
        nodeType.insert(kLabel, name);
        nodeType.insert(kText, name);
        options.append(nodeType);
    }
    return options;
}

int listSize(const QVariantMap &map, const QString &key)
{
    return static_cast<int>(map.value(key).toList().size());
}

} // namespace

QString modeName(Mode mode)
{
    switch (mode) {
    case Mode::Private:
        return QStringLiteral("private");
    case Mode::Group:
        return QStringLiteral("group");
    case Mode::Shared:
        break;
    }
    return QStringLiteral("shared");
}

bool containsAny(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (present(map, key))
            return true;
    }
    return false;
}

QString firstString(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const auto it = map.constFind(key);
        if (it == map.constEnd())
            continue;
        QString text = it->toString();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

bool looksLikeProduct(const QVariantMap &map)
{
    const bool identity = containsAny(map, kProductIdentityKeys);
    const bool name = containsAny(map, kProductNameKeys);
    const bool price = containsAny(map, kProductPriceKeys);
    return identity ? (name || price) : (name && price);
}

bool looksLikeMembership(const QVariantMap &map)
{
    for (const QString &key : kMembershipKeys) {
        if (map.contains(key))
            return true;
    }
    return false;
}

void collectProducts(const QVariant &value, QVariantList &products, int depth, int &visits)
{
    if (depth >= kProductDepthLimit)
        return;
    if (visits++ >= kProductVisitLimit || products.size() >= kMaxProducts)
        return;
    // Loops stop as soon as the budget is spent: every further call would return at once.
    const auto exhausted = [&] {
        return visits >= kProductVisitLimit || products.size() >= kMaxProducts;
    };
    if (isList(value)) {
        QVariantList storage;
        for (const QVariant &item : listView(value, storage)) {
            if (exhausted())
                break;
            collectProducts(item, products, depth + 1, visits);
        }
    } else if (isMap(value)) {
        QVariantMap storage;
        const QVariantMap &map = mapView(value, storage);
        if (looksLikeProduct(map)) {
            products.append(map);
            return;
        }
        for (auto it = map.constBegin(); it != map.constEnd() && !exhausted(); ++it)
            collectProducts(it.value(), products, depth + 1, visits);
    }
}

void appendGroupPriceMapProducts(const QVariantMap &modeMap, QVariantList &products)
{
    const QVariantMap priceMap = mapOf(modeMap.value(QStringLiteral("price_map")));
    if (priceMap.isEmpty())
        return;

    // First node type per id or key text, so that a long price map does not rescan the node types.
    QVariantList nodeTypeStorage;
    const QVariantList &nodeTypeList = listView(member(modeMap, kNodeTypes), nodeTypeStorage);
    QList<QVariantMap> nodeTypes;
    QHash<QString, qsizetype> nodeTypeByText;
    for (const QVariant &value : nodeTypeList) {
        if (!isMap(value))
            continue;
        nodeTypes.append(value.toMap());
        for (const QString &field : {kNodeTypeId, kNodeTypeKey}) {
            const QString text = textOf(nodeTypes.constLast(), field);
            if (!nodeTypeByText.contains(text))
                nodeTypeByText.insert(text, nodeTypes.size() - 1);
        }
    }

    for (auto it = priceMap.constBegin(); it != priceMap.constEnd(); ++it) {
        // Bounded like every other product source, so that a huge price map cannot flood the screen.
        if (products.size() >= kMaxProducts)
            break;
        QVariantMap product = mapOf(it.value());
        if (product.isEmpty())
            continue;
        const QString priceKey = it.key();
        const QStringList parts = priceKey.split(QLatin1Char('_'), Qt::SkipEmptyParts);
        const QString nodePart = parts.value(0);
        const QString regionPart = parts.value(1);
        bool numeric = false;
        int memberCount = parts.value(2).toInt(&numeric, 10);
        if (!numeric)
            memberCount = 0;

        QString nodeTypeId = nodePart;
        QString nodeTypeKey = nodePart;
        QString nodeName = kDefaultNodeName;
        const auto found = nodeTypeByText.constFind(nodePart);
        if (found != nodeTypeByText.constEnd()) {
            const QVariantMap &nodeType = nodeTypes.at(found.value());
            nodeTypeId = textOr(nodeType, kNodeTypeId, nodePart);
            nodeTypeKey = textOr(nodeType, kNodeTypeKey, nodePart);
            nodeName = textOr(nodeType, kNodeTypeName, kDefaultNodeName);
        }

        product.insert(kProductType, QStringLiteral("group"));
        product.insert(QStringLiteral("product_key"), priceKey);
        if (!present(product, kNodeTypeId))
            product.insert(kNodeTypeId, nodeTypeId);
        if (!present(product, kNodeTypeKey))
            product.insert(kNodeTypeKey, nodeTypeKey);
        if (!regionPart.isEmpty()) {
            product.insert(kRegionKey, regionPart);
            product.insert(kRegionName, groupRegionName(regionPart));
        }
        if (memberCount > 0)
            product.insert(QStringLiteral("member_count"), memberCount);

        const QString regionName = textOr(product, kRegionName, groupRegionName(regionPart));
        const QString countText = memberCount >= 1 ? QStringLiteral(" · %1人").arg(memberCount) : QString();
        if (!present(product, kName))
            product.insert(kName, nodeName + kSeparator + regionName + countText);
        if (!present(product, kDescription))
            product.insert(kDescription, QStringLiteral("多人拼团 · ") + regionName + countText);
        products.append(product);
    }
}

QVariantList synthesizePrivateProducts(const QVariantMap &modeMap)
{
    QVariantList result;
    QVariantList storage;
    for (const QVariant &nodeTypeValue : listView(member(modeMap, kNodeTypes), storage)) {
        const QVariantMap nodeType = mapOf(nodeTypeValue);
        if (nodeType.isEmpty())
            continue;
        QVariantList rows = listOf(nodeType.value(kRegions));
        // A node type priced directly is a product of its own.
        if (present(nodeType, QStringLiteral("price")) || present(nodeType, QStringLiteral("origin_price")))
            rows.append(nodeType);
        for (const QVariant &rowValue : std::as_const(rows)) {
            QVariantMap row = mapOf(rowValue);
            if (row.isEmpty())
                continue;
            for (const QString &field : {kNodeTypeId, kNodeTypeKey, kNodeTypeName}) {
                if (!present(row, field) && present(nodeType, field))
                    row.insert(field, nodeType.value(field));
            }
            if (!present(row, kRegionId) && present(row, QStringLiteral("id")))
                row.insert(kRegionId, row.value(QStringLiteral("id")));
            if (!present(row, kRegionKey) && present(row, QStringLiteral("code")))
                row.insert(kRegionKey, row.value(QStringLiteral("code")));

            const QString nodeName = textOr(row, kNodeTypeName, kDefaultNodeName);
            const QString regionName = textOr(row, kRegionName, kDefaultRegionName);
            row.insert(kProductType, QStringLiteral("private"));
            row.insert(kName, nodeName + kSeparator + regionName);
            row.insert(kDescription, QStringLiteral("一人一址 · ") + nodeName + kSeparator + regionName);
            if (!present(row, QStringLiteral("days")) && !present(row, kDurationDays)) {
                if (present(nodeType, kDurationDays))
                    row.insert(QStringLiteral("days"), nodeType.value(kDurationDays));
                else if (present(modeMap, kDurationDays))
                    row.insert(QStringLiteral("days"), modeMap.value(kDurationDays));
            }
            result.append(row);
            if (result.size() >= kMaxProducts)
                return result;
        }
    }
    return result;
}

QVariantList findOptions(const QVariant &value, const QStringList &keys, int depth, int &visits)
{
    if (visits++ >= kOptionVisitLimit || depth >= kOptionDepthLimit || !value.isValid())
        return {};
    if (isList(value)) {
        QVariantList storage;
        for (const QVariant &item : listView(value, storage)) {
            if (visits >= kOptionVisitLimit)
                break;
            QVariantList found = findOptions(item, keys, depth + 1, visits);
            if (!found.isEmpty())
                return found;
        }
        return {};
    }
    if (!isMap(value))
        return {};
    QVariantMap storage;
    const QVariantMap &map = mapView(value, storage);
    for (const QString &key : keys) {
        const auto it = map.constFind(key);
        if (it == map.constEnd())
            continue;
        QVariantList candidates = optionCandidates(it.value());
        if (!candidates.isEmpty())
            return candidates;
    }
    for (auto it = map.constBegin(); it != map.constEnd() && visits < kOptionVisitLimit; ++it) {
        QVariantList found = findOptions(it.value(), keys, depth + 1, visits);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QVariantList normalizeOptions(const QVariantList &list, const QStringList &valueKeys,
                              const QStringList &textKeys)
{
    QVariantList options;
    for (const QVariant &item : list) {
        if (options.size() >= kMaxOptions)
            break;
        if (isMap(item)) {
            QVariantMap storage;
            const QVariantMap &map = mapView(item, storage);
            const QString value = firstString(map, valueKeys);
            if (value.isEmpty())
                continue;
            const QString text = firstString(map, textKeys);
            QVariantMap ids;
            for (const QString &field : {kNodeTypeId, kNodeTypeKey, kRegionId, kRegionKey}) {
                if (present(map, field))
                    ids.insert(field, map.value(field));
            }
            QVariant gameId;
            for (const QString &field : {QStringLiteral("game_id"), QStringLiteral("id")}) {
                if (present(map, field) && !(map.value(field).typeId() == QMetaType::QString &&
                                             map.value(field).toString().isEmpty())) {
                    gameId = map.value(field);
                    break;
                }
            }
            const QVariant packageName = map.value(QStringLiteral("package_name"));
            options.append(QVariantMap{{kValue, value},
                                       {kText, text.isEmpty() ? value : text},
                                       {kIds, ids},
                                       {kPackageName, packageName.typeId() == QMetaType::QString
                                                          ? packageName.toString().trimmed()
                                                          : QString()},
                                       {kGameId, gameId},
                                       {QStringLiteral("raw"), item}});
        } else {
            const QString text = item.toString();
            if (text.isEmpty())
                continue;
            options.append(QVariantMap{{kValue, text},
                                       {kText, text},
                                       {kIds, QVariantMap()},
                                       {kPackageName, QString()},
                                       {kGameId, QVariant()}});
        }
    }
    return options;
}

QVariantList privateRegionOptions(const QVariantMap &modeMap, qsizetype limit)
{
    QVariantList options;
    QSet<QString> seen;
    QVariantList nodeTypeStorage;
    for (const QVariant &nodeTypeValue : listView(member(modeMap, kNodeTypes), nodeTypeStorage)) {
        QVariantMap nodeTypeMapStorage;
        const QVariantMap &nodeType = mapView(nodeTypeValue, nodeTypeMapStorage);
        QVariantList regionListStorage;
        for (const QVariant &regionValue : listView(member(nodeType, kRegions), regionListStorage)) {
            if (limit >= 0 && options.size() >= limit)
                return options;
            QVariantMap regionMapStorage;
            const QVariantMap &source = mapView(regionValue, regionMapStorage);
            if (source.isEmpty())
                continue;
            const QVariant key =
                present(source, kRegionKey) ? source.value(kRegionKey) : source.value(kRegionId);
            const QString keyText = key.toString();
            if (keyText.isEmpty() || seen.contains(keyText))
                continue;
            seen.insert(keyText);
            // Copied only once it is kept: most regions repeat across node types.
            QVariantMap region = source;
            const QString name = textOr(region, kRegionName, keyText);
            region.insert(kValue, key);
            region.insert(kLabel, name);
            region.insert(kText, name);
            // The node type's own ids; a region's stale ones must not stand in for missing ones.
            for (const QString &field : {kNodeTypeId, kNodeTypeKey}) {
                if (present(nodeType, field))
                    region.insert(field, nodeType.value(field));
                else
                    region.remove(field);
            }
            options.append(region);
        }
    }
    return options;
}

QString groupRegionName(const QString &key)
{
    const QString normalized = key.trimmed().toLower();
    if (normalized == QLatin1StringView("guofu"))
        return QStringLiteral("国服");
    if (normalized == QLatin1StringView("hanfu"))
        return QStringLiteral("韩服");
    if (normalized == QLatin1StringView("rifu"))
        return QStringLiteral("日服");
    if (normalized == QLatin1StringView("yazhou"))
        return QStringLiteral("亚洲服");
    if (normalized == QLatin1StringView("global") || normalized == QLatin1StringView("international"))
        return QStringLiteral("国际服");
    return key;
}

QVariantMap prepareMode(const QVariantMap &entry, Mode mode, const QVariantList &games)
{
    QVariant modeValue;
    for (const QString &key : modeKeys(mode)) {
        const auto it = entry.constFind(key);
        if (it != entry.constEnd()) {
            modeValue = it.value();
            break;
        }
    }
    if (!modeValue.isValid())
        modeValue = entry;
    const QVariantMap modeMap = mapOf(modeValue);

    QVariantList products;
    if (mode == Mode::Group)
        appendGroupPriceMapProducts(modeMap, products);
    // Synthesised private products replace whatever the walk would find, so the walk is skipped then.
    const QVariantList privateProducts =
        mode == Mode::Private ? synthesizePrivateProducts(modeMap) : QVariantList();
    if (!privateProducts.isEmpty()) {
        products = privateProducts;
    } else if (products.isEmpty()) {
        int visits = 0;
        collectProducts(modeValue, products, 0, visits);
    }
    const QVariant product = products.isEmpty() ? QVariant() : products.constFirst();

    QVariantList ips = searchOptions(product, modeValue, kIpListKeys);
    if (ips.isEmpty() && mode != Mode::Shared)
        ips = nodeTypeIpOptions(modeMap);
    // Private regions always come from the node types, so the search would be wasted there.
    const QVariantList regions = mode == Mode::Private ? privateRegionOptions(modeMap, kMaxOptions)
                                                       : searchOptions(product, modeValue, kRegionListKeys);
    const QVariantList teams = searchOptions(product, modeValue, kTeamListKeys);
    QVariantList gameList = searchOptions(product, modeValue, kGameListKeys);
    if (gameList.isEmpty())
        gameList = games;

    QVariantList plans;
    plans.reserve(products.size());
    for (const QVariant &item : std::as_const(products))
        plans.append(preparePlan(item.toMap(), mode));

    return {
        {kProducts, plans},
        {QStringLiteral("ipOptions"), normalizeOptions(ips, kPlaceValueKeys, kPlaceTextKeys)},
        {QStringLiteral("regionOptions"), normalizeOptions(regions, kPlaceValueKeys, kPlaceTextKeys)},
        {QStringLiteral("teamOptions"), normalizeOptions(teams, kTeamValueKeys, kTeamTextKeys)},
        {kGameOptions, normalizeOptions(gameList, kGameValueKeys, kGameTextKeys)},
    };
}

QVariantMap preparePurchaseData(const QVariantMap &entry, const QVariantList &games)
{
    QVariantMap prepared;
    for (const Mode mode : {Mode::Shared, Mode::Private, Mode::Group})
        prepared.insert(modeName(mode), prepareMode(entry, mode, games));
    return prepared;
}

QVariantMap extractMembership(const QVariantMap &entry)
{
    QList<QVariantMap> candidates;
    for (const QString &key : kMembershipMemberKeys)
        candidates.append(mapOf(entry.value(key)));
    for (const QString &container : kMembershipContainerKeys) {
        const QVariantMap inner = mapOf(entry.value(container));
        for (const QString &key : kMembershipMemberKeys)
            candidates.append(mapOf(inner.value(key)));
    }
    candidates.append(entry);
    for (const QVariantMap &candidate : std::as_const(candidates)) {
        if (looksLikeMembership(candidate))
            return candidate;
    }
    return {};
}

QVariantList gamesForPreparation(const QVariantList &pageGames, const QVariantList &commonGames)
{
    return pageGames.isEmpty() ? commonGames : pageGames;
}

int preparedProductCount(const QVariantMap &prepared, Mode mode)
{
    return listSize(prepared.value(modeName(mode)).toMap(), kProducts);
}

int preparedGroupGameCount(const QVariantMap &prepared)
{
    return listSize(prepared.value(modeName(Mode::Group)).toMap(), kGameOptions);
}

QString preparedLogLine(const QVariantMap &prepared, qint64 elapsedMs)
{
    return QStringLiteral(
               "[Data] 会员选项 C++ 整理完成 elapsed=%1ms shared=%2 private=%3 group=%4 groupGames=%5")
        .arg(elapsedMs)
        .arg(preparedProductCount(prepared, Mode::Shared))
        .arg(preparedProductCount(prepared, Mode::Private))
        .arg(preparedProductCount(prepared, Mode::Group))
        .arg(preparedGroupGameCount(prepared));
}

QString publicEntryCachedLogLine(const QVariantMap &entry)
{
    const QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(entry)).toJson(QJsonDocument::Compact);
    return QStringLiteral("[Data] 公开会员入口已缓存 bytes≈%1").arg(json.size());
}

QString restoredLogLine(const QVariantMap &prepared)
{
    return QStringLiteral(
               "[Data] 已从本地缓存恢复公开会员入口，等待网络/登录刷新 shared=%1 private=%2 group=%3")
        .arg(preparedProductCount(prepared, Mode::Shared))
        .arg(preparedProductCount(prepared, Mode::Private))
        .arg(preparedProductCount(prepared, Mode::Group));
}

QVariantMap cachedEntryFromSettingsValue(const QVariant &stored)
{
    QVariantMap entry = mapOf(stored);
    const int type = stored.typeId();
    if (entry.isEmpty() && (type == QMetaType::QString || type == QMetaType::QByteArray)) {
        const QByteArray text =
            type == QMetaType::QByteArray ? stored.toByteArray() : stored.toString().toUtf8();
        const QJsonDocument document = QJsonDocument::fromJson(text);
        if (document.isObject())
            entry = document.object().toVariantMap();
    }
    return entry;
}

QVariantMap readCachedPurchaseEntry(const QSettings &settings)
{
    return cachedEntryFromSettingsValue(settings.value(kPublicPurchaseEntryCache));
}

void writeCachedPurchaseEntry(QSettings &settings, const QVariantMap &entry)
{
    settings.setValue(kPublicPurchaseEntryCache, entry);
}

} // namespace nimbra::purchase
