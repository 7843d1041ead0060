#include "purchase/membershiptexts.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace nimbra::purchase {

namespace {

bool present(const QVariant &value)
{
    return value.isValid() && !value.isNull();
}

// Number(value) of the scripts the service's fields were written for: numbers, numeric text and flags
// count, anything else is 0.
double numberOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
        return 0;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0;
}

bool truthy(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString:
        return !value.toString().isEmpty();
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return false;
    default:
        return value.canConvert<double>() ? value.toDouble() != 0 && !std::isnan(value.toDouble()) : true;
    }
}

QVariant firstTruthy(const QVariantMap &map, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QVariant value = map.value(QString::fromLatin1(key));
        if (truthy(value))
            return value;
    }
    return {};
}

bool isTrue(const QVariant &value)
{
    return value.typeId() == QMetaType::Bool && value.toBool();
}

bool isPermanent(const QVariantMap &m)
{
    const QString status = m.value(QStringLiteral("status")).toString();
    return isTrue(m.value(QStringLiteral("permanent"))) || isTrue(m.value(QStringLiteral("is_permanent"))) ||
           isTrue(m.value(QStringLiteral("lifetime"))) || status == QLatin1String("lifetime") ||
           status == QLatin1String("permanent");
}

QString expiryWithDays(double expiry, const QVariantMap &m)
{
    QString text =
        QDateTime::fromSecsSinceEpoch(static_cast<qint64>(expiry)).toString(QStringLiteral("yyyy-MM-dd")) +
        QStringLiteral(" 到期");
    // remaining_days wins whenever it is given, 0 included.
    QVariant days = m.value(QStringLiteral("remaining_days"));
    if (!present(days))
        days = m.value(QStringLiteral("left_days"));
    if (present(days)) {
        const QString count = days.typeId() == QMetaType::QString
                                  ? days.toString()
                                  : QString::number(days.toDouble(), 'g', QLocale::FloatingPointShortest);
        text += QStringLiteral(" · 剩余 %1 天").arg(count);
    }
    return text;
}

} // namespace

bool isActiveMembership(const QVariantMap &m)
{
    const QVariant vipNum = m.contains(QStringLiteral("vip_num")) ? m.value(QStringLiteral("vip_num"))
                                                                  : m.value(QStringLiteral("vipNum"));
    const QString status = m.value(QStringLiteral("status")).toString();
    return isTrue(m.value(QStringLiteral("is_vip"))) || isTrue(m.value(QStringLiteral("active"))) ||
           numberOf(vipNum) > 0 || status == QLatin1String("active") || status == QLatin1String("enabled");
}

QString membershipTypeText(const QVariantMap &m)
{
    if (!isActiveMembership(m))
        return QString();
    static const QRegularExpression others(QStringLiteral("[^a-z0-9\\x{4e00}-\\x{9fa5}]"));
    const QString raw =
        firstTruthy(m, {"vip_type", "member_type", "plan_type", "type", "plan_name", "product_name"})
            .toString()
            .toLower()
            .remove(others);
    if (raw.isEmpty())
        return QStringLiteral("尊享会员");
    struct Name
    {
        const char *spellings[3];
        const char *name;
    };
    static const Name names[] = {
        {{"shared", "共享"}, "共享会员"},           {{"private", "独享"}, "独享会员"},
        {{"group", "拼团", "团购"}, "拼团会员"},    {{"month", "月卡", "monthly"}, "月卡会员"},
        {{"quarter", "季卡"}, "季卡会员"},          {{"year", "年卡", "annual"}, "年卡会员"},
        {{"lifetime", "终身", "永久"}, "终身会员"},
    };
    for (const Name &name : names) {
        for (const char *spelling : name.spellings) {
            if (spelling && raw == QString::fromUtf8(spelling))
                return QString::fromUtf8(name.name);
        }
    }
    return raw;
}

QString membershipExpiryText(const QVariantMap &m)
{
    if (!isActiveMembership(m))
        return QStringLiteral("未开通");
    const double expiry = numberOf(firstTruthy(
        m, {"vip_expire_at", "expire_at", "end_time", "valid_until", "expire_time", "expired_at"}));
    if (expiry <= 0)
        return isPermanent(m) ? QStringLiteral("永久有效") : QStringLiteral("到期时间未知");
    return expiryWithDays(expiry, m);
}

QString membershipTitle(const QVariantMap &m)
{
    return isActiveMembership(m) ? QStringLiteral("尊享会员 · 生效中") : QStringLiteral("尊享双链路加速 IP");
}

QString membershipDescription(const QVariantMap &m, bool loggedIn)
{
    if (!loggedIn)
        return QStringLiteral("登录后可同步订单与加速配置");
    if (!isActiveMembership(m))
        return QStringLiteral("选择适合你的购买方式，微信扫码即可开通");
    // An unreadable expiry is no date.
    const double expiry = numberOf(firstTruthy(m, {"vip_expire_at", "expire_at"}));
    if (expiry <= 0)
        return isPermanent(m) ? QStringLiteral("永久有效") : QStringLiteral("会员已开通 · 到期时间未知");
    return expiryWithDays(expiry, m);
}

} // namespace nimbra::purchase
