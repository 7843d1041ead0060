#include "purchase/groupdetail.h"

#include "purchase/grouppurchase.h"
#include "purchase/purchaserequests.h"

#include <QDebug>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <utility>

using nimbra::purchase::variantInteger;
using nimbra::purchase::variantText;

namespace {

QString textOf(const QVariantMap &map, const char *key)
{
    return variantText(map.value(QString::fromLatin1(key)));
}

// The first of the texts that is not empty.
QString firstText(std::initializer_list<QString> texts)
{
    for (const QString &text : texts) {
        if (!text.isEmpty())
            return text;
    }
    return {};
}

using StatusNames = std::initializer_list<std::pair<std::initializer_list<const char *>, const char *>>;

// The wording of a state. A service code without one never reaches the screen: it reads "处理中" and goes
// to the log once; a text already written for people (Chinese) is shown as it is.
QString statusName(const QString &raw, StatusNames names)
{
    const QString key = raw.toLower();
    for (const auto &[codes, name] : names) {
        for (const char *code : codes) {
            if (key == QLatin1String(code))
                return QString::fromUtf8(name);
        }
    }
    static const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fa5}]"));
    if (chinese.match(raw).hasMatch())
        return raw;
    static QMutex lock;
    static QSet<QString> reported;
    const QMutexLocker locker(&lock);
    if (!reported.contains(raw)) {
        reported.insert(raw);
        qInfo().noquote() << QStringLiteral("[Recharge] 未识别的状态 ") + raw;
    }
    return QStringLiteral("处理中");
}

} // namespace

GroupDetail::GroupDetail(QObject *parent)
    : QObject(parent)
{}

void GroupDetail::setGroup(const QVariantMap &group)
{
    if (group == m_group)
        return;
    m_group = group;
    emit changed();
}

void GroupDetail::setOrder(const QVariantMap &order)
{
    if (order == m_order)
        return;
    m_order = order;
    emit changed();
}

QVariantMap GroupDetail::team() const
{
    return GroupPurchase::detailTeam(m_group);
}

QString GroupDetail::name() const
{
    return firstText({textOf(team(), "name"), QStringLiteral("普通拼团详情")});
}

QString GroupDetail::statusText() const
{
    const QVariantMap team = this->team();
    const QString raw =
        firstText({textOf(team, "status_label"), textOf(team, "status"), textOf(m_group, "group_status"),
                   textOf(orderGroup(), "status"), QStringLiteral("forming")});
    return statusName(raw, {{{"forming", "waiting"}, "组团中"},
                            {{"formed", "active", "completed"}, "已成团"},
                            {{"expired", "closed"}, "已结束"}});
}

QString GroupDetail::identityLabel() const
{
    return GroupPurchase::teamType(team(), m_group, m_order) == QLatin1String("leader")
               ? QStringLiteral("团码")
               : QStringLiteral("拼团编号");
}

QString GroupDetail::identityValue() const
{
    const QVariantMap team = this->team();
    if (GroupPurchase::teamType(team, m_group, m_order) == QLatin1String("leader"))
        return firstText(
            {GroupPurchase::knownTeamCode(team, m_group, m_order), QStringLiteral("生成中，请刷新")});
    const qint64 id = variantInteger(team.value(QStringLiteral("team_id")));
    return id > 0 ? QStringLiteral("#%1").arg(id) : QStringLiteral("—");
}

bool GroupDetail::orderPaid() const
{
    static const QStringList paidStates{QStringLiteral("paid"), QStringLiteral("pending_activation"),
                                        QStringLiteral("active"), QStringLiteral("completed")};
    return textOf(m_order, "payment_status") == QLatin1String("paid") ||
           paidStates.contains(textOf(m_order, "order_status")) ||
           paidStates.contains(textOf(m_order, "status"));
}

QVariantList GroupDetail::memberRecords() const
{
    const QVariantList members = team().value(QStringLiteral("members")).toList();
    if (!members.isEmpty() || !orderPaid())
        return members;
    return {
        QVariantMap{{"nickname", QStringLiteral("我")},
                    {"game_name", firstText({textOf(m_order, "game_name"), textOf(m_order, "product_name"),
                                             QStringLiteral("已选游戏")})},
                    {"pay_status", QStringLiteral("paid")}}};
}

QVariantList GroupDetail::members() const
{
    QVariantList rows;
    for (const QVariant &item : memberRecords()) {
        const QVariantMap member = item.toMap();
        const QString line = firstText({textOf(member, "nickname"), QStringLiteral("团员")}) +
                             QStringLiteral(" · ") +
                             firstText({textOf(member, "game_name"), QStringLiteral("待分配游戏")});
        QString status = textOf(member, "status_text");
        if (status.isEmpty() && textOf(member, "pay_status") == QLatin1String("paid"))
            status = QStringLiteral("已支付");
        else if (status.isEmpty() && textOf(member, "status").isEmpty())
            status = QStringLiteral("已加入");
        else if (status.isEmpty())
            status =
                statusName(textOf(member, "status"), {{{"paid"}, "已支付"},
                                                      {{"pending", "pending_payment", "unpaid"}, "待支付"},
                                                      {{"joined"}, "已加入"}});
        rows.append(QVariantMap{{"line", line}, {"status", status}});
    }
    return rows;
}

int GroupDetail::current() const
{
    qint64 current = variantInteger(team().value(QStringLiteral("paid_member_count")));
    if (current <= 0)
        current = variantInteger(orderGroup().value(QStringLiteral("paid_member_count")));
    if (current <= 0)
        current = memberRecords().size();
    return static_cast<int>(orderPaid() ? std::max<qint64>(1, current) : current);
}

int GroupDetail::target() const
{
    qint64 target = variantInteger(team().value(QStringLiteral("member_count")));
    if (target <= 0)
        target = variantInteger(orderGroup().value(QStringLiteral("member_count")));
    return static_cast<int>(std::max<qint64>(0, target));
}

QString GroupDetail::progressText() const
{
    const int target = this->target();
    return target > 0 ? QStringLiteral("%1 / %2 人").arg(current()).arg(target)
                      : QStringLiteral("%1 人").arg(current());
}

QString GroupDetail::nodeText() const
{
    const QVariantMap team = this->team();
    return firstText({textOf(team, "node_type_name"), textOf(team, "region_name"), textOf(team, "region_key"),
                      QStringLiteral("—")});
}
