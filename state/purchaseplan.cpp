#include "purchaseplan.h"
#include "purchasemoney.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QVariantList>

#include <cmath>
#include <utility>

namespace nimbra::purchase {

namespace {

// Key lists, in the order they are tried.
const QStringList kNameKeys = {"name",       "title",    "plan_name",    "product_name", "package_name",
                               "goods_name", "sku_name", "display_name", "label",        "plan_label"};
const QStringList kDescriptionKeys = {"description",  "subtitle",     "note",  "summary",
                                      "product_desc", "package_desc", "remark"};
const QStringList kPriceKeys = {
    "user_price",   "price",      "pay_price",    "sale_price",  "order_price",    "current_price",
    "final_price",  "fee",        "member_price", "vip_price",   "discount_price", "monthly_price",
    "annual_price", "unit_price", "pay_amount",   "total_price", "amount"};
const QStringList kUnitKeys = {"unit", "price_unit", "period_unit"};
const QStringList kPeriodKeys = {"valid_days", "duration_days", "days"};
const QStringList kFlagKeys = {"discount_label", "flag",           "badge", "promotion", "tag",
                               "corner_label",   "marketing_label"};
const QStringList kMemberCountKeys = {"member_count", "team_size", "group_size", "people_count"};
const QStringList kNodeTypeKeys = {"node_type_key", "node_type_id"};
const QStringList kRegionKeys = {"region_key", "region_id"};
const QStringList kIdKeys = {"node_type_id", "node_type_key", "region_id", "region_key"};

const QStringList kBenefitSources = {
    "benefits",         "features",   "rights",       "privileges",     "perks",       "package_contents",
    "package_content",  "contents",   "content",      "detail_items",   "details",     "product_details",
    "selling_points",   "highlights", "benefit_list", "feature_list",   "rights_list", "service_items",
    "service_contents", "included",   "includes",     "package_detail", "plan_detail", "description_items"};
const QStringList kBenefitTitleKeys = {"title", "name", "label", "text", "benefit", "feature", "right"};
const QStringList kBenefitDetailKeys = {"description", "desc", "note", "subtitle", "detail", "value"};
const QStringList kBenefitNestedKeys = {"items", "list", "benefits", "features", "rights", "contents"};
const QList<std::pair<QString, QStringList>> kBenefitTexts = {
    {"有效期", {"duration_text", "period_text", "validity_text"}},
    {"流量", {"traffic_text", "quota_text"}},
    {"带宽", {"bandwidth_text", "speed_text"}},
    {"设备", {"device_text", "device_limit_text"}},
    {"节点", {"node_text", "node_scope_text"}},
    {"续费", {"renewal_text", "renew_text"}}};

const QStringList kPayloadSources = {"order_payload", "purchase_payload", "create_payload", "order_params",
                                     "create_params", "request_payload",  "create_request", "order_request",
                                     "request",       "params",           "selection",      "payload"};
const QStringList kSelectorKeys = {
    "product_id",   "plan_id",      "sku_id",        "goods_id",     "package_id",
    "product_code", "plan_code",    "sku_code",      "package_code", "product_key",
    "plan_key",     "sku_key",      "package_key",   "code",         "key",
    "slug",         "id",           "plan",          "sku",          "package",
    "product",      "product_type", "purchase_type", "plan_type",    "package_type",
    "type",         "duration",     "duration_days", "days",         "months",
    "period",       "cycle",        "tier",          "node_type_id", "node_type_key",
    "region_id",    "region_key",   "region",        "ip_type"};
const QStringList kProductIdKeys = {"product_id", "plan_id", "sku_id", "goods_id", "package_id", "id"};

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// The trimmed text of a text or a finite number; anything else has none.
QString textOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed();
    if (isNumber(value) && std::isfinite(value.toDouble()))
        return value.toString();
    return {};
}

// Held, and neither null nor an empty text.
bool isSet(const QVariant &value)
{
    return value.isValid() && !value.isNull() &&
           !(value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QString firstText(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QString text = textOf(map.value(key));
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QVariant firstSet(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QVariant value = map.value(key);
        if (isSet(value))
            return value;
    }
    return {};
}

double firstPositive(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const double n = looseNumber(map.value(key));
        if (n > 0)
            return n;
    }
    return 0;
}

QString modeFallback(Mode mode, const char *shared, const char *privateText, const char *group)
{
    switch (mode) {
    case Mode::Private:
        return QString::fromUtf8(privateText);
    case Mode::Group:
        return QString::fromUtf8(group);
    case Mode::Shared:
        break;
    }
    return QString::fromUtf8(shared);
}

// Price in fen per IP type: price_by_ip wins over prices for the same type.
QVariantMap pricesByIp(const QVariantMap &product)
{
    QVariantMap prices;
    for (const char *source : {"prices", "price_by_ip"}) {
        const QVariantMap map = product.value(QString::fromLatin1(source)).toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (isSet(it.value()))
                prices.insert(it.key(), fenFromYuan(looseNumber(it.value())));
        }
    }
    return prices;
}

QVariantMap priceTexts(const QVariantMap &prices)
{
    QVariantMap texts;
    for (auto it = prices.constBegin(); it != prices.constEnd(); ++it)
        texts.insert(it.key(), moneyText(it.value().toLongLong()));
    return texts;
}

qint64 plainPrice(const QVariantMap &product)
{
    const QVariantMap amount = product.value("amount").toMap();
    const QVariantMap info = product.value("price_info").toMap();
    for (const QVariant &value :
         {amount.value("order_price"), info.value("order_price"), info.value("price")}) {
        if (isSet(value))
            return fenFromYuan(looseNumber(value));
    }
    return fenFromYuan(looseNumber(firstSet(product, kPriceKeys)));
}

class Benefits
{
public:
    QVariantList rows;

    void add(const QVariant &titleValue, const QVariant &detailValue)
    {
        QString title = textOf(titleValue);
        QString detail = textOf(detailValue);
        if (title.isEmpty()) {
            title = detail;
            detail.clear();
        }
        const QString key = title + QChar(0x1f) + detail;
        if (title.isEmpty() || rows.size() >= kMaxBenefits || m_seen.contains(key))
            return;
        m_seen.insert(key);
        rows.append(QVariantMap{{"title", title}, {"detail", detail}});
    }

    void addCount(const QVariantMap &product, const QString &title, const QStringList &keys,
                  const QString &prefix, const QString &suffix)
    {
        const double n = firstPositive(product, keys);
        if (n > 0)
            add(title, prefix + QVariant(n).toString() + suffix);
    }

    // Depth-bounded: a source is service data of any shape.
    void read(const QVariant &value, int depth)
    {
        if (depth > kBenefitDepthLimit || rows.size() >= kMaxBenefits)
            return;
        if (value.typeId() == QMetaType::QString || isNumber(value)) {
            static const QRegularExpression separators(QStringLiteral("\r\n|\r|\n|；|;| \\| "));
            for (const QString &part : value.toString().split(separators))
                add(part, QString());
        } else if (isList(value)) {
            for (const QVariant &item : value.toList())
                read(item, depth + 1);
        } else if (isMap(value)) {
            const QVariantMap map = value.toMap();
            const QString title = firstText(map, kBenefitTitleKeys);
            const QString detail = firstText(map, kBenefitDetailKeys);
            if (!title.isEmpty() || !detail.isEmpty()) {
                add(title, detail);
                return;
            }
            const QVariant nested = firstSet(map, kBenefitNestedKeys);
            if (nested.isValid()) {
                read(nested, depth + 1);
                return;
            }
            for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
                if (it->typeId() == QMetaType::QString || isNumber(*it))
                    add(it.key(), *it);
            }
        }
    }

private:
    QSet<QString> m_seen;
};

QVariantList benefits(const QVariantMap &product, Mode mode)
{
    Benefits b;
    for (const QString &source : kBenefitSources)
        b.read(product.value(source), 0);
    // A fixed row needs its detail: a bare title would stand for nothing.
    for (const auto &[title, keys] : kBenefitTexts) {
        const QString text = firstText(product, keys);
        if (!text.isEmpty())
            b.add(title, text);
    }
    b.addCount(product, "有效期", {"valid_days", "duration_days", "days"}, "", "天");
    b.addCount(product, "设备数量", {"device_limit", "max_devices", "device_count"}, "", "台");
    b.addCount(product, "购买限制", {"purchase_limit", "limit_count", "max_purchase_count"}, "每人限购",
               "次");
    const auto isFalse = [&](const char *key) {
        const QVariant value = product.value(QString::fromLatin1(key));
        return value.typeId() == QMetaType::Bool && !value.toBool();
    };
    if (isFalse("auto_renew") || isFalse("is_auto_renew"))
        b.add("续费方式", "到期不自动续费");
    switch (mode) {
    case Mode::Shared:
        b.add("节点类型", "共享节点");
        break;
    case Mode::Private:
        b.add("节点类型", "独享节点");
        b.add("地址分配", "一人一址");
        break;
    case Mode::Group:
        b.add("节点类型", "独享节点");
        b.add("成团方式", "多人拼团");
        b.addCount(product, "成团人数", kMemberCountKeys, "", "人");
        break;
    }
    return b.rows;
}

QVariant payloadSource(const QVariantMap &product)
{
    for (const QString &key : kPayloadSources) {
        const QVariant source = product.value(key);
        if (!isSet(source))
            continue;
        if (source.typeId() != QMetaType::QString)
            return source;
        const QJsonDocument document = QJsonDocument::fromJson(source.toString().toUtf8());
        return document.isObject() ? QVariant(document.object().toVariantMap()) : QVariant();
    }
    return {};
}

} // namespace

bool isMap(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::QVariantMap || type == QMetaType::QVariantHash ||
           type == QMetaType::QJsonObject;
}

bool isList(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::QVariantList || type == QMetaType::QStringList || type == QMetaType::QJsonArray;
}

double looseNumber(const QVariant &value)
{
    if (isNumber(value)) {
        const double n = value.toDouble();
        return std::isfinite(n) ? n : 0;
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double n = value.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(n) ? n : 0;
    }
    return 0;
}

QVariantMap planPayload(const QVariantMap &product)
{
    const QVariant source = payloadSource(product);
    QVariantMap payload = isMap(source) ? source.toMap() : QVariantMap();
    for (const QString &key : kSelectorKeys) {
        if (isSet(product.value(key)) && !isSet(payload.value(key)))
            payload.insert(key, product.value(key));
    }
    if (!isSet(payload.value("product_id"))) {
        const QVariant id = firstSet(product, kProductIdKeys);
        if (id.isValid())
            payload.insert("product_id", id);
    }
    return payload;
}

QString periodUnit(double days)
{
    // The price is the plan's total, so the unit names the whole period; a period that is not a
    // whole number of days is not one the service sells, and reads better with no unit than a wrong one.
    if (!(days >= 1) || days != std::floor(days) || days > 100000)
        return {};
    const int d = int(days);
    if (d == 7)
        return QStringLiteral("/周");
    if (d == 30 || d == 31)
        return QStringLiteral("/月");
    if (d >= 90 && d <= 92)
        return QStringLiteral("/季");
    if (d >= 180 && d <= 183)
        return QStringLiteral("/半年");
    if (d == 365 || d == 366)
        return QStringLiteral("/年");
    return QStringLiteral("/%1天").arg(d);
}

QVariantMap preparePlan(const QVariantMap &product, Mode mode)
{
    const qint64 price = plainPrice(product);
    const QVariantMap byIp = pricesByIp(product);
    QString name = firstText(product, kNameKeys);
    if (name.isEmpty())
        name = modeFallback(mode, "共享套餐", "独享 IP 套餐", "拼团套餐");
    QString description = firstText(product, kDescriptionKeys);
    if (description.isEmpty())
        description =
            modeFallback(mode, "高性价比 · 共享节点", "一人一址 · 安全独享", "5-10 人成团 · 更低价");
    QString unit = firstText(product, kUnitKeys);
    if (unit.isEmpty())
        unit = periodUnit(looseNumber(firstSet(product, kPeriodKeys)));
    const QString ownDescription = product.value("description").toString();
    const QVariant enabled = product.value("enabled");
    const QVariant available = product.value("available");
    const auto isFalse = [](const QVariant &value) {
        return value.typeId() == QMetaType::Bool && !value.toBool();
    };
    const QString nodeType = firstText(product, kNodeTypeKeys);
    QVariantMap ids;
    for (const QString &key : kIdKeys) {
        const QVariant value = product.value(key);
        if (value.isValid() && !value.isNull())
            ids.insert(key, value);
    }
    return {
        {"name", name},
        {"description", description},
        {"unit", unit},
        {"flag", firstText(product, kFlagKeys)},
        {"available", !isFalse(enabled) && !isFalse(available)},
        {"unavailableText", ownDescription.isEmpty() ? QStringLiteral("当前商品暂不可购买") : ownDescription},
        {"priceFen", price},
        {"priceText", moneyText(price)},
        {"pricesByIp", byIp},
        {"priceTextsByIp", priceTexts(byIp)},
        {"benefits", benefits(product, mode)},
        {"memberCount", looseNumber(firstSet(product, kMemberCountKeys))},
        {"nodeType", nodeType},
        {"ipType", nodeType.isEmpty() ? textOf(product.value("ip_type")) : nodeType},
        {"region", firstText(product, kRegionKeys)},
        {"regionName", textOf(product.value("region_name"))},
        {"ids", ids},
        {"payload", planPayload(product)},
        {"raw", product},
    };
}

} // namespace nimbra::purchase
