#include "purchase/grouppurchase.h"

#include "purchase/paymentorder.h"
#include "purchase/purchaserequests.h"
#include "purchase/rechargeapi.h"

#include <QJsonDocument>
#include <QJsonObject>

using nimbra::purchase::variantInteger;
using nimbra::purchase::variantText;

namespace {

qint64 orderIdOf(const QVariantMap &order)
{
    return variantInteger(order.value(QStringLiteral("order_id")));
}

QVariantMap findOrder(const QVariantList &orders, qint64 id)
{
    if (id <= 0)
        return {};
    for (const QVariant &item : orders) {
        const QVariantMap order = item.toMap();
        if (orderIdOf(order) == id)
            return order;
    }
    return {};
}

// The first value of `key` the team, group, order or the order's group names.
QString firstOf(const char *key, const QVariantMap &team, const QVariantMap &group, const QVariantMap &order)
{
    const QString name = QString::fromLatin1(key);
    for (const QVariantMap &source : {team, group, order, order.value(QStringLiteral("group")).toMap()}) {
        const QString value = variantText(source.value(name));
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace

GroupPurchase::GroupPurchase(RechargeApi *api)
    : QObject(api)
    , m_api(api)
    , m_centre(new LeaderCentre(this))
{
    m_centre->setApi(api);
    connect(m_centre, &LeaderCentre::openedChanged, this, &GroupPurchase::openedChanged);
    m_autoSelect.setSingleShot(true);
    m_autoSelect.setInterval(0);
    connect(&m_autoSelect, &QTimer::timeout, this, [this] {
        if (!m_detailOpened || m_detailOrderId > 0)
            return;
        for (const QVariantList &list : {m_groupOrders, m_autoSelectAny ? m_orders : QVariantList()}) {
            for (const QVariant &item : list) {
                if (orderIdOf(item.toMap()) > 0) {
                    refreshGroupDetail(item.toMap());
                    return;
                }
            }
        }
    });
    m_codeTimer.setInterval(3000);
    connect(&m_codeTimer, &QTimer::timeout, this, [this] {
        const QVariantMap order = selectedOrder();
        if (!m_api->busy() && orderIdOf(order) > 0)
            refreshGroupDetail(order);
    });
    connect(api, &RechargeApi::ordersLoaded, this, [this] { autoSelect(true); });
    // The seat's payment takes over from the leader centre.
    connect(api, &RechargeApi::orderCreated, this, [this](const QString &kind) {
        if (kind == QLatin1String("leader_join"))
            setLeaderOpened(false);
    });
    // Only the detail's own requests: the client also looks up the first paid group order after every
    // order list, and that must not pop the detail up.
    connect(api, &RechargeApi::groupDetailLoaded, this, [this] {
        if (!m_detailLoading)
            return;
        setDetail(false, m_detailOrderId);
        setDetailOpened(true);
        emit notice(QStringLiteral("拼团状态已刷新"), false);
    });
    connect(api, &RechargeApi::requestFailed, this, [this](const QString &operation) {
        if (operation == QLatin1String("group_detail"))
            setDetail(false, m_detailOrderId);
    });
    connect(api->payment(), &PaymentOrder::groupOrderPaid, this, &GroupPurchase::refreshGroupDetail);
}

void GroupPurchase::setLeaderTeam(const QVariantMap &team)
{
    if (team == m_leaderTeam)
        return;
    m_leaderTeam = team;
    emit leaderTeamChanged();
}

void GroupPurchase::setLeaderTeams(const QVariantList &teams)
{
    if (teams == m_leaderTeams)
        return;
    m_leaderTeams = teams;
    emit leaderTeamsChanged();
}

void GroupPurchase::setGroup(const QVariantMap &group)
{
    if (group == m_group)
        return;
    m_group = group;
    emit groupChanged();
    update();
}

void GroupPurchase::setOrders(const QVariantList &orders)
{
    if (orders == m_orders)
        return;
    m_orders = orders;
    QVariantList groupOrders;
    for (const QVariant &order : orders) {
        if (order.toMap().value(QStringLiteral("is_group")).toBool())
            groupOrders.append(order);
    }
    m_groupOrders = groupOrders;
    emit ordersChanged();
    update();
    autoSelect(false);
}

void GroupPurchase::setLeaderGameId(const QString &gameId)
{
    if (gameId == m_leaderGameId)
        return;
    m_leaderGameId = gameId;
    emit leaderTeamChanged();
}

bool GroupPurchase::leaderTeamReady() const
{
    const QString code = normalizedCode(variantText(m_leaderTeam.value(QStringLiteral("team_code"))));
    return !code.isEmpty() && code == normalizedCode(m_leaderTeamCode);
}

qint64 GroupPurchase::leaderPriceFen() const
{
    return leaderTeamReady() ? variantInteger(m_leaderTeam.value(QStringLiteral("price_fen"))) : 0;
}

QString GroupPurchase::leaderPriceText() const
{
    return leaderTeamReady() ? variantText(m_leaderTeam.value(QStringLiteral("price_text"))) : QString();
}

void GroupPurchase::setLeaderOpened(bool opened)
{
    m_centre->setOpened(opened);
}

void GroupPurchase::setDetailOpened(bool opened)
{
    if (opened == m_detailOpened)
        return;
    m_detailOpened = opened;
    emit openedChanged();
    update();
}

void GroupPurchase::setDetail(bool loading, qint64 orderId)
{
    if (loading == m_detailLoading && orderId == m_detailOrderId)
        return;
    m_detailLoading = loading;
    m_detailOrderId = orderId;
    emit detailChanged();
    update();
}

bool GroupPurchase::signedIn() const
{
    return m_api->sessionGuid() > 0;
}

void GroupPurchase::queryLeaderTeam(const QString &code)
{
    const QString normalized = normalizedCode(code);
    if (!signedIn()) {
        emit signInRequested();
        emit notice(QStringLiteral("请先登录后查询团长团"), true);
        return;
    }
    if (normalized.isEmpty()) {
        emit notice(QStringLiteral("请输入团码"), true);
        return;
    }
    m_leaderTeamCode = normalized;
    m_leaderGameId.clear();
    emit leaderTeamChanged();
    m_api->loadLeaderTeamDetail(m_api->sessionGuid(), normalized, ownTeamId(m_leaderTeams, normalized));
}

void GroupPurchase::createSeatOrder()
{
    // Only the team the panel shows: a failed lookup of another code leaves the older team stored.
    QString code = variantText(m_leaderTeam.value(QStringLiteral("team_code")));
    if (code.isEmpty())
        code = m_leaderTeamCode;
    if (code.isEmpty() || !leaderTeamReady()) {
        emit notice(QStringLiteral("请输入团码并查询拼团"), true);
        return;
    }
    if (m_leaderGameId.isEmpty()) {
        emit notice(QStringLiteral("请选择要加速的游戏"), true);
        return;
    }
    QString name = variantText(m_leaderTeam.value(QStringLiteral("name")));
    if (name.isEmpty())
        name = QStringLiteral("团长团席位");
    const QVariantMap body =
        m_api->payment()->createSeatOrder(m_leaderTeam, code, m_leaderGameId, name, leaderPriceFen());
    emit trace(
        QStringLiteral("[Recharge] creating leader seat order; payload=") +
        QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(body)).toJson(QJsonDocument::Compact)));
}

void GroupPurchase::openLeaderCenter()
{
    if (signedIn())
        setLeaderOpened(true);
    else
        emit signInRequested();
}

void GroupPurchase::openMyGroups()
{
    if (!signedIn()) {
        emit signInRequested();
        return;
    }
    setDetailOpened(true);
    m_api->loadOrders(m_api->sessionGuid(), 1, 20);
    if (m_groupOrders.isEmpty())
        return;
    const QVariantMap known = findOrder(m_groupOrders, m_detailOrderId);
    refreshGroupDetail(known.isEmpty() ? m_groupOrders.first().toMap() : known);
}

void GroupPurchase::refreshGroupDetail(const QVariantMap &order)
{
    QVariantMap target = order;
    if (orderIdOf(order) <= 0 && m_detailOrderId > 0)
        target = selectedOrder();
    qint64 id = orderIdOf(target);
    if (id <= 0)
        id = m_api->payment()->orderId();
    if (id <= 0)
        id = m_detailOrderId;
    setDetail(true, id);
    setDetailOpened(true);
    if (!m_api->loadGroupDetailFor(target, id)) {
        setDetail(false, id);
        emit notice(QStringLiteral("暂时无法确定要查询的拼团订单"), true);
    }
}

void GroupPurchase::refreshSelected()
{
    refreshGroupDetail(selectedOrder());
}

void GroupPurchase::autoSelect(bool anyOrder)
{
    if (m_detailOpened && m_detailOrderId <= 0) {
        m_autoSelectAny = anyOrder;
        m_autoSelect.start();
    }
}

void GroupPurchase::end()
{
    m_autoSelect.stop();
    m_centre->end();
    setDetailOpened(false);
    setDetail(false, 0);
    if (!m_leaderTeamCode.isEmpty() || !m_leaderGameId.isEmpty()) {
        m_leaderTeamCode.clear();
        m_leaderGameId.clear();
        emit leaderTeamChanged();
    }
}

void GroupPurchase::update()
{
    QVariantMap order = findOrder(m_groupOrders, m_detailOrderId);
    if (order.isEmpty())
        order = findOrder(m_orders, m_detailOrderId);
    if (order != m_selectedOrder) {
        m_selectedOrder = order;
        emit selectedOrderChanged();
    }
    const QVariantMap team = detailTeam(m_group);
    const bool poll = m_detailOpened && m_detailOrderId > 0 && !m_detailLoading &&
                      teamType(team, m_group, order) == QLatin1String("leader") &&
                      knownTeamCode(team, m_group, order).isEmpty();
    if (poll == m_codeTimer.isActive())
        return;
    if (poll)
        m_codeTimer.start();
    else
        m_codeTimer.stop();
    emit pollingCodeChanged();
}

QString GroupPurchase::normalizedCode(const QString &code)
{
    return code.trimmed().toUpper();
}

qint64 GroupPurchase::ownTeamId(const QVariantList &teams, const QString &code)
{
    const QString wanted = normalizedCode(code);
    if (wanted.isEmpty())
        return 0;
    for (const QVariant &item : teams) {
        const QVariantMap team = item.toMap();
        if (normalizedCode(variantText(team.value(QStringLiteral("team_code")))) == wanted)
            return std::max<qint64>(0, variantInteger(team.value(QStringLiteral("team_id"))));
    }
    return 0;
}

QVariantMap GroupPurchase::detailTeam(const QVariantMap &group)
{
    const QVariantMap team = group.value(QStringLiteral("team")).toMap();
    return team.isEmpty() ? group : team;
}

QString GroupPurchase::teamType(const QVariantMap &team, const QVariantMap &group, const QVariantMap &order)
{
    const QString type = firstOf("team_type", team, group, order).toLower();
    return type.isEmpty() ? QStringLiteral("normal") : type;
}

QString GroupPurchase::knownTeamCode(const QVariantMap &team, const QVariantMap &group,
                                     const QVariantMap &order)
{
    return firstOf("team_code", team, group, order);
}
