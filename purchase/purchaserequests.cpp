#include "purchase/purchaserequests.h"

#include <QLocale>
#include <QVariantList>

#include <cmath>

namespace nimbra::purchase {

QString variantText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().trimmed();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double: {
        const double number = value.toDouble();
        return std::isfinite(number) ? QString::number(number, 'g', QLocale::FloatingPointShortest)
                                     : QString();
    }
    default:
        return QString();
    }
}

qint64 variantInteger(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) ? static_cast<qint64>(number) : 0;
}

bool isSet(const QVariant &value)
{
    return value.isValid() && !value.isNull() &&
           !(value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QVariantMap choiceOf(const QVariant &options, const QString &value)
{
    for (const QVariant &item : options.toList()) {
        const QVariantMap option = item.toMap();
        if (!option.isEmpty() && variantText(option.value(QStringLiteral("value"))) == value)
            return option;
    }
    return {};
}

namespace {

void copyPresent(QVariantMap &target, const QVariantMap &source, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QVariant value = source.value(QString::fromLatin1(key));
        if (value.isValid() && !value.isNull())
            target.insert(QString::fromLatin1(key), value);
    }
}

void addPrivateChoices(QVariantMap &body, const QVariantMap &selection)
{
    const QString ip = variantText(selection.value(QStringLiteral("ipType")));
    const QString region = variantText(selection.value(QStringLiteral("region")));
    if (!ip.isEmpty()) {
        body.insert(QStringLiteral("ip_type"), ip);
        copyPresent(body, choiceOf(selection.value(QStringLiteral("ipOptions")), ip).value("ids").toMap(),
                    {"node_type_id", "node_type_key"});
    }
    if (!region.isEmpty()) {
        body.insert(QStringLiteral("region"), region);
        copyPresent(body,
                    choiceOf(selection.value(QStringLiteral("regionOptions")), region).value("ids").toMap(),
                    {"region_id", "region_key"});
    }
    // The matching plan's ids win over the options' ones: a region key can exist under more than one
    // node type.
    for (const QVariant &item : selection.value(QStringLiteral("products")).toList()) {
        const QVariantMap product = item.toMap();
        if (variantText(product.value(QStringLiteral("nodeType"))) == ip &&
            variantText(product.value(QStringLiteral("region"))) == region) {
            copyPresent(body, product.value(QStringLiteral("ids")).toMap(),
                        {"node_type_id", "node_type_key", "region_id", "region_key"});
            break;
        }
    }
}

void addGroupChoices(QVariantMap &body, const QVariantMap &selection)
{
    const QString ip = variantText(selection.value(QStringLiteral("ipType")));
    if (!ip.isEmpty())
        body.insert(QStringLiteral("ip_type"), ip);
    if (const qint64 size = variantInteger(selection.value(QStringLiteral("teamSize"))); size > 0)
        body.insert(QStringLiteral("member_count"), size);
    const QVariantMap option = selection.value(QStringLiteral("gameOption")).toMap();
    const QString gameId = variantText(selection.value(QStringLiteral("gameId")));
    const QString packageName = variantText(option.value(QStringLiteral("packageName")));
    if (!packageName.isEmpty())
        body.insert(QStringLiteral("package_name"), packageName);
    else if (gameId.contains(QLatin1Char('.')))
        body.insert(QStringLiteral("package_name"), gameId);
    if (isSet(option.value(QStringLiteral("gameId"))))
        body.insert(QStringLiteral("game_id"), option.value(QStringLiteral("gameId")));
    else
        body.remove(QStringLiteral("game_id"));
    if (const qint64 nodeTypeId = variantInteger(body.value(QStringLiteral("node_type_id"))); nodeTypeId > 0)
        body.insert(QStringLiteral("node_type_id"), nodeTypeId);
}

} // namespace

QVariantMap planOrderBody(const QString &mode, const QVariantMap &plan, const QVariantMap &selection)
{
    QVariantMap body = plan.value(QStringLiteral("payload")).toMap();
    if (body.isEmpty())
        return body;
    if (mode == QLatin1String("private"))
        addPrivateChoices(body, selection);
    else if (mode == QLatin1String("group"))
        addGroupChoices(body, selection);
    return body;
}

QVariantMap seatOrderBody(const QVariantMap &team, const QString &code, const QString &packageName)
{
    QVariantMap body = team.value(QStringLiteral("join_payload")).toMap();
    body.insert(QStringLiteral("team_code"), code);
    body.insert(QStringLiteral("package_name"), packageName);
    body.remove(QStringLiteral("game_id"));
    return body;
}

QVariantMap teamCreateBody(const QVariantMap &entry, const QString &line, const QString &region, int size)
{
    const QVariantMap lineItem = choiceOf(entry.value(QStringLiteral("node_types")), line);
    const QVariantMap regionItem = choiceOf(lineItem.value(QStringLiteral("regions")), region);
    if (lineItem.isEmpty() || regionItem.isEmpty() || size <= 0)
        return {};
    const qint64 nodeTypeId = variantInteger(lineItem.value(QStringLiteral("node_type_id")));
    const QString key = QStringLiteral("%1_%2_%3")
                            .arg(nodeTypeId)
                            .arg(variantText(regionItem.value(QStringLiteral("region_key"))))
                            .arg(size);
    const QVariantMap item = entry.value(QStringLiteral("price_map")).toMap().value(key).toMap();
    const qint64 productId = variantInteger(item.value(QStringLiteral("product_id")));
    if (productId <= 0)
        return {};
    return {{QStringLiteral("product_id"), productId},
            {QStringLiteral("node_type_id"), nodeTypeId},
            {QStringLiteral("country_id"), variantInteger(regionItem.value(QStringLiteral("region_id")))},
            {QStringLiteral("member_count"), size}};
}

QVariantMap groupDetailQuery(const QVariantMap &order, qint64 orderId)
{
    for (const char *key : {"team_id", "group_id"}) {
        if (const qint64 id = variantInteger(order.value(QString::fromLatin1(key))); id > 0)
            return {{QString::fromLatin1(key), id}};
    }
    if (const QString code = variantText(order.value(QStringLiteral("team_code"))); !code.isEmpty())
        return {{QStringLiteral("team_code"), code}};
    if (orderId > 0)
        return {{QStringLiteral("order_id"), orderId}};
    return {};
}

} // namespace nimbra::purchase
