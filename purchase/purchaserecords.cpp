#include "purchase/purchaserecords.h"
#include "state/purchasemoney.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

namespace nimbra::purchase {

namespace {

bool isSet(const QJsonValue &value)
{
    return !value.isUndefined() && !value.isNull() && !(value.isString() && value.toString().isEmpty());
}

// Text or a number written as the interface would write it; anything else has none.
QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString().trimmed();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return QString();
}

QString firstText(const QJsonObject &object, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QString text = textOf(object.value(QLatin1String(key)));
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

// Numbers may come as text; what reads as no number is 0.
double numberOf(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double:
        return value.toDouble();
    case QJsonValue::Bool:
        return value.toBool() ? 1 : 0;
    case QJsonValue::String: {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        return ok ? number : 0;
    }
    default:
        return 0;
    }
}

qint64 integerOf(const QJsonValue &value)
{
    return static_cast<qint64>(numberOf(value));
}

bool truthy(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double:
        return value.toDouble() != 0;
    case QJsonValue::String:
        return !value.toString().isEmpty();
    case QJsonValue::Array:
    case QJsonValue::Object:
        return true;
    default:
        return false;
    }
}

QJsonObject groupOf(const QJsonObject &order)
{
    for (const char *key : {"group", "team"}) {
        const QJsonValue value = order.value(QLatin1String(key));
        if (value.isObject())
            return value.toObject();
    }
    return {};
}

qint64 priceFenOf(const QJsonObject &order)
{
    const QJsonValue amount = order.value(QLatin1String("amount"));
    const QJsonValue candidates[] = {amount.isObject() ? amount.toObject().value(QLatin1String("order_price"))
                                                       : QJsonValue(QJsonValue::Undefined),
                                     order.value(QLatin1String("pay_amount")),
                                     order.value(QLatin1String("order_price")),
                                     order.value(QLatin1String("price"))};
    for (const QJsonValue &candidate : candidates) {
        if (isSet(candidate))
            return fenFromYuan(numberOf(candidate));
    }
    return 0;
}

qint64 firstPositive(const QJsonObject &object, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const qint64 value = integerOf(object.value(QLatin1String(key)));
        if (value > 0)
            return value;
    }
    return 0;
}

qint64 seatPriceFenOf(const QJsonObject &team)
{
    const qint64 price = priceFenOf(team);
    if (price > 0)
        return price;
    for (const char *key : {"amount", "member_price", "seat_price"}) {
        const QJsonValue value = team.value(QLatin1String(key));
        const QJsonObject map = value.toObject();
        const qint64 candidate = fenFromYuan(!value.isObject() ? numberOf(value)
                                             : map.contains(QLatin1String("order_price"))
                                                 ? numberOf(map.value(QLatin1String("order_price")))
                                                 : numberOf(map.value(QLatin1String("price"))));
        if (candidate > 0)
            return candidate;
    }
    return 0;
}

QJsonObject firstObject(const QJsonObject &object, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isObject())
            return value.toObject();
    }
    return {};
}

// A team's games as choices: a map needs a value; text stands for itself.
QVariantList gamesOf(const QJsonObject &team)
{
    QJsonValue games = team.value(QLatin1String("available_games"));
    if (!games.isArray())
        games = team.value(QLatin1String("games"));
    QVariantList result;
    for (const QJsonValue &game : games.toArray()) {
        const QJsonObject map = game.toObject();
        const QString value =
            game.isObject() ? firstText(map, {"package_name", "game_id", "id", "value"}) : textOf(game);
        if (value.isEmpty())
            continue;
        result.append(QVariantMap{
            {QStringLiteral("value"), value},
            {QStringLiteral("text"),
             game.isObject() ? firstText(map, {"name", "title", "game_name", "label"}) : value},
            {QStringLiteral("available"), map.value(QLatin1String("available")) != QJsonValue(false)},
        });
    }
    return result;
}

// A choice of the leader entry: its value is the first key given (a number written as text), its text
// the first name given; other members of the map are kept as sent.
QVariantMap optionOf(const QJsonValue &item)
{
    if (!item.isObject()) {
        const QString text = textOf(item);
        return {{QStringLiteral("value"), text}, {QStringLiteral("text"), text}};
    }
    const QJsonObject map = item.toObject();
    QVariantMap option = map.toVariantMap();
    option.insert(QStringLiteral("value"), firstText(map, {"node_type_id", "region_id", "value", "id", "code",
                                                           "node_type_key", "region_key", "name"}));
    option.insert(QStringLiteral("text"),
                  firstText(map, {"node_type_name", "region_name", "label", "name", "title", "code", "id"}));
    return option;
}

QVariantList optionsOf(const QJsonValue &items)
{
    QVariantList result;
    for (const QJsonValue &item : items.toArray())
        result.append(optionOf(item));
    return result;
}

} // namespace

QVariantMap normalizeOrder(const QJsonObject &order)
{
    const QJsonObject group = groupOf(order);
    qint64 orderId = integerOf(order.value(QLatin1String("order_id")));
    if (orderId == 0)
        orderId = integerOf(order.value(QLatin1String("id")));
    qint64 teamId = integerOf(order.value(QLatin1String("team_id")));
    if (teamId <= 0)
        teamId = integerOf(group.value(QLatin1String("team_id")));
    qint64 groupId = 0;
    for (const QJsonValue &candidate :
         {order.value(QLatin1String("group_id")), group.value(QLatin1String("group_id")),
          group.value(QLatin1String("id"))}) {
        groupId = integerOf(candidate);
        if (groupId > 0)
            break;
    }
    QString teamCode = textOf(order.value(QLatin1String("team_code")));
    if (teamCode.isEmpty())
        teamCode = textOf(group.value(QLatin1String("team_code")));
    const QString productType = firstText(order, {"product_type", "order_type", "type"}).toLower();
    // A group order by its type, or by a group field the service only gives group orders.
    const bool isGroup = productType.contains(QLatin1String("group")) || !group.isEmpty() ||
                         isSet(order.value(QLatin1String("group_id"))) ||
                         isSet(order.value(QLatin1String("group_status"))) ||
                         isSet(order.value(QLatin1String("team_code")));

    const qint64 priceFen = priceFenOf(order);
    return {
        {QStringLiteral("order_id"), orderId},
        {QStringLiteral("order_no"), textOf(order.value(QLatin1String("order_no")))},
        {QStringLiteral("product_id"), integerOf(order.value(QLatin1String("product_id")))},
        {QStringLiteral("node_type_key"), textOf(order.value(QLatin1String("node_type_key")))},
        {QStringLiteral("region_key"), textOf(order.value(QLatin1String("region_key")))},
        {QStringLiteral("member_count"), integerOf(order.value(QLatin1String("member_count")))},
        {QStringLiteral("package_name"), textOf(order.value(QLatin1String("package_name")))},
        {QStringLiteral("product_type"), productType},
        {QStringLiteral("product_name"), firstText(order, {"product_name", "plan_name", "title"})},
        {QStringLiteral("game_name"), firstText(order, {"game_name", "game_title"})},
        {QStringLiteral("price_fen"), priceFen},
        {QStringLiteral("price_text"), moneyText(priceFen)},
        {QStringLiteral("payment_status"), textOf(order.value(QLatin1String("payment_status")))},
        {QStringLiteral("payment_status_text"),
         paymentStatusText(textOf(order.value(QLatin1String("payment_status"))))},
        {QStringLiteral("order_status"), textOf(order.value(QLatin1String("order_status")))},
        {QStringLiteral("status"), textOf(order.value(QLatin1String("status")))},
        {QStringLiteral("status_text"), textOf(order.value(QLatin1String("status_text")))},
        {QStringLiteral("can_pay"), truthy(order.value(QLatin1String("can_pay")))},
        {QStringLiteral("can_cancel"), truthy(order.value(QLatin1String("can_cancel")))},
        {QStringLiteral("created_at"), integerOf(order.value(QLatin1String("created_at")))},
        {QStringLiteral("expire_at"), integerOf(order.value(QLatin1String("expire_at")))},
        {QStringLiteral("paid_at"), integerOf(order.value(QLatin1String("paid_at")))},
        {QStringLiteral("is_group"), isGroup},
        {QStringLiteral("group"), group.isEmpty() ? QVariantMap() : normalizeTeam(group)},
        {QStringLiteral("group_id"), groupId},
        {QStringLiteral("team_id"), teamId},
        {QStringLiteral("team_code"), teamCode},
        {QStringLiteral("team_type"), textOf(order.value(QLatin1String("team_type")))},
        {QStringLiteral("group_status"), textOf(order.value(QLatin1String("group_status")))},
    };
}

QString paymentStatusText(const QString &status)
{
    static const QHash<QString, const char *> texts{{QStringLiteral("paid"), "已支付"},
                                                    {QStringLiteral("completed"), "已支付"},
                                                    {QStringLiteral("success"), "已支付"},
                                                    {QStringLiteral("pending"), "待支付"},
                                                    {QStringLiteral("pending_payment"), "待支付"},
                                                    {QStringLiteral("unpaid"), "待支付"},
                                                    {QStringLiteral("closed"), "已关闭"},
                                                    {QStringLiteral("cancelled"), "已关闭"},
                                                    {QStringLiteral("canceled"), "已关闭"},
                                                    {QStringLiteral("expired"), "已过期"},
                                                    {QStringLiteral("refunded"), "已退款"},
                                                    {QStringLiteral("failed"), "支付失败"},
                                                    {QStringLiteral("exception"), "支付异常"}};
    const QString code = status.trimmed();
    if (code.isEmpty())
        return QStringLiteral("未知状态");
    if (const char *text = texts.value(code.toLower()))
        return QString::fromUtf8(text);
    static const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fa5}]"));
    return chinese.match(code).hasMatch() ? code : QStringLiteral("处理中");
}

QVariantList normalizeOrders(const QJsonArray &orders)
{
    QVariantList result;
    for (const QJsonValue &value : orders) {
        if (value.isObject())
            result.append(normalizeOrder(value.toObject()));
    }
    return result;
}

QVariantMap normalizePayment(const QJsonObject &payment)
{
    const QJsonObject wechat = payment.value(QLatin1String("wechat")).toObject();
    qint64 expireAt = integerOf(payment.value(QLatin1String("expire_at")));
    if (expireAt <= 0)
        expireAt = integerOf(wechat.value(QLatin1String("expire_at")));
    return {
        {QStringLiteral("order_id"), integerOf(payment.value(QLatin1String("order_id")))},
        {QStringLiteral("expire_at"), expireAt},
        {QStringLiteral("price_fen"),
         fenFromYuan(numberOf(
             payment.value(QLatin1String("amount")).toObject().value(QLatin1String("order_price"))))},
        {QStringLiteral("payment_status"), textOf(payment.value(QLatin1String("payment_status")))},
        {QStringLiteral("code_url"), textOf(wechat.value(QLatin1String("code_url")))},
    };
}

QVariantMap normalizeMember(const QJsonObject &member)
{
    return {
        {QStringLiteral("nickname"), textOf(member.value(QLatin1String("nickname")))},
        {QStringLiteral("display_name"), firstText(member, {"nickname", "name", "user_name"})},
        {QStringLiteral("game_name"), firstText(member, {"name", "title", "game_name", "package_name"})},
        {QStringLiteral("has_game"),
         !firstText(member, {"package_name", "game_name", "game_title", "game_id"}).isEmpty()},
        {QStringLiteral("status_text"), textOf(member.value(QLatin1String("status_text")))},
        {QStringLiteral("pay_status"), textOf(member.value(QLatin1String("pay_status")))},
        {QStringLiteral("status"), textOf(member.value(QLatin1String("status")))},
    };
}

QVariantMap normalizeTeam(const QJsonObject &team)
{
    QVariantMap result = team.toVariantMap();
    QVariantList members;
    for (const QJsonValue &value : team.value(QLatin1String("members")).toArray())
        members.append(normalizeMember(value.toObject()));
    qint64 groupId = integerOf(team.value(QLatin1String("group_id")));
    if (groupId <= 0)
        groupId = integerOf(team.value(QLatin1String("id")));
    const qint64 seatPrice = seatPriceFenOf(team);
    const std::pair<const char *, QVariant> fixed[] = {
        {"team_id", integerOf(team.value(QLatin1String("team_id")))},
        {"group_id", groupId},
        {"member_count",
         firstPositive(team, {"member_count", "capacity", "max_members", "required_members", "team_size"})},
        {"paid_member_count", firstPositive(team, {"paid_member_count", "paid_members", "current_members",
                                                   "joined_count", "member_count_current"})},
        {"price_fen", seatPrice},
        {"price_text", moneyText(seatPrice)},
        {"team_code", textOf(team.value(QLatin1String("team_code")))},
        {"name", firstText(team, {"name", "title"})},
        {"node_type_name", firstText(team, {"node_type_name", "node_name", "node_type_key"})},
        {"region_name", textOf(team.value(QLatin1String("region_name")))},
        {"region_key", textOf(team.value(QLatin1String("region_key")))},
        {"status_label", firstText(team, {"status_label", "status_text"})},
        {"status", firstText(team, {"group_status", "status", "team_status", "waiting_status"})},
        {"team_type", textOf(team.value(QLatin1String("team_type"))).toLower()},
        {"members", members},
        {"games", gamesOf(team)},
        {"join_payload", firstObject(team, {"join_payload", "order_payload"}).toVariantMap()},
    };
    for (const auto &[key, value] : fixed)
        result.insert(QLatin1String(key), value);
    return result;
}

QVariantMap normalizeLeaderEntry(const QJsonObject &entry)
{
    QVariantList lines;
    for (const QJsonValue &item : entry.value(QLatin1String("node_types")).toArray()) {
        QVariantMap line = optionOf(item);
        const QJsonObject map = item.toObject();
        line.insert(QStringLiteral("node_type_id"), integerOf(map.value(QLatin1String("node_type_id"))));
        line.insert(QStringLiteral("regions"), optionsOf(map.value(QLatin1String("regions"))));
        lines.append(line);
    }
    QVariantMap result = entry.toVariantMap();
    result.insert(QStringLiteral("is_leader"), entry.value(QLatin1String("is_leader")).toBool(false));
    result.insert(QStringLiteral("node_types"), lines);
    result.insert(QStringLiteral("member_counts"), optionsOf(entry.value(QLatin1String("member_counts"))));
    result.insert(QStringLiteral("price_map"),
                  entry.value(QLatin1String("price_map")).toObject().toVariantMap());
    return result;
}

} // namespace nimbra::purchase
