#include "purchase/rechargeapi.h"

#include "net/httpmanager.h"
#include "net/requestenvelope.h"
#include "purchase/membershiptexts.h"
#include "purchase/purchaserecords.h"
#include "purchase/purchaserequests.h"
#include "state/globaldata.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString kPurchaseEntry = QStringLiteral("purchase_entry");
const QString kPublicPurchaseEntry = QStringLiteral("public_purchase_entry");
const QString kCreateShared = QStringLiteral("create_shared_order");
const QString kCreatePrivate = QStringLiteral("create_private_order");
const QString kCreateGroup = QStringLiteral("create_group_order");
const QString kPcPay = QStringLiteral("pc_pay");
const QString kPayStatus = QStringLiteral("pay_status");
const QString kOrders = QStringLiteral("orders");
const QString kOrderDetail = QStringLiteral("order_detail");
const QString kCancelOrder = QStringLiteral("cancel_order");
const QString kGroupDetail = QStringLiteral("group_detail");
const QString kLeaderEntry = QStringLiteral("leader_entry");
const QString kLeaderCreate = QStringLiteral("leader_create");
const QString kLeaderTeams = QStringLiteral("leader_teams");
const QString kLeaderTeamDetail = QStringLiteral("leader_team_detail");
const QString kLeaderJoinOrder = QStringLiteral("leader_join_order");

const QString kEntryPath = QStringLiteral("/api/pintuan/purchase/entry");
const QString kSharedCreatePath = QStringLiteral("/api/pintuan/order/shared/create");
const QString kPrivateCreatePath = QStringLiteral("/api/pintuan/order/private/create");
const QString kGroupCreatePath = QStringLiteral("/api/pintuan/order/group/create");
const QString kPcPayPath = QStringLiteral("/api/pintuan/order/pc-pay");
const QString kPayStatusPath = QStringLiteral("/api/pintuan/order/pay/status");
const QString kOrdersPath = QStringLiteral("/api/pintuan/orders");
const QString kOrderDetailPath = QStringLiteral("/api/pintuan/order/detail");
const QString kCancelOrderPath = QStringLiteral("/api/pintuan/order/cancel");
const QString kGroupDetailPath = QStringLiteral("/api/pintuan/group/detail");
const QString kLeaderEntryPath = QStringLiteral("/api/pintuan/leader/entry");
const QString kLeaderCreatePath = QStringLiteral("/api/pintuan/leader/create");
const QString kLeaderTeamsPath = QStringLiteral("/api/pintuan/leader/teams");
const QString kLeaderJoinOrderPath = QStringLiteral("/api/pintuan/leader/join/order/create");

constexpr int kFirstPage = 1;
constexpr int kDefaultPageSize = 20;
constexpr int kMaxPage = 100000;
constexpr int kMaxPageSize = 50;

const QString kGuid = QStringLiteral("guid");
const QString kOrderId = QStringLiteral("order_id");
const QString kTeamId = QStringLiteral("team_id");
const QString kTeamCode = QStringLiteral("team_code");

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString presence(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("<empty>") : QStringLiteral("<set>");
}

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The service decides the payment channel itself, so channel hints of a selection never go out.
QJsonObject requestBody(qint64 guid, const QVariantMap &fields)
{
    QJsonObject body = QJsonObject::fromVariantMap(fields);
    body.insert(kGuid, guid);
    for (const char *key : {"platform", "pay_scene", "gateway"})
        body.remove(QLatin1String(key));
    return body;
}

int clamped(int value, int maximum)
{
    return qMin(value > 0 ? value : 1, maximum);
}

// Only JSON numbers count; text or a missing value reads as 0.
qint64 variantInteger(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toLongLong();
    default:
        return 0;
    }
}

QJsonObject objectOrSelf(const QJsonObject &data, const QString &key)
{
    const QJsonValue value = data.value(key);
    return value.isObject() ? value.toObject() : data;
}

QString keysText(const QStringList &keys)
{
    return keys.join(QLatin1Char(','));
}

QJsonArray firstArray(const QJsonObject &data)
{
    for (const char *key : {"items", "list", "orders", "teams"}) {
        const QJsonValue value = data.value(QLatin1String(key));
        if (value.isArray())
            return value.toArray();
    }
    return {};
}

struct Page
{
    QVariantList items;
    int page = kFirstPage;
    int pageSize = kDefaultPageSize;
    int total = 0;
    bool hasMore = false;
};

Page pageOf(const QJsonObject &data)
{
    return {firstArray(data).toVariantList(), data.value(QLatin1String("page")).toInt(kFirstPage),
            data.value(QLatin1String("page_size")).toInt(kDefaultPageSize),
            data.value(QLatin1String("total")).toInt(0), data.value(QLatin1String("has_more")).toBool(false)};
}

void logOnly(const QString &message)
{
    qInfo().noquote() << message;
}

} // namespace

RechargeApi::RechargeApi(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_endpoint(baseUrl)
{
    // Made after the members it reads, and connected before anyone else: a page that reacts to the
    // same signals finds the payment already updated.
    m_payment = new PaymentOrder(this);
    m_groups = new GroupPurchase(this);
    m_selection = new PurchaseSelection(this, m_groups);
}

void RechargeApi::setHttpManager(HttpManager *manager)
{
    if (!m_endpoint.attach(manager, this, &RechargeApi::handleResponse))
        return;
}

void RechargeApi::setBaseUrl(const QString &url)
{
    if (m_endpoint.setBaseUrl(url))
        emit baseUrlChanged();
}

void RechargeApi::setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId)
{
    if (guid != m_sessionGuid) {
        ++m_session;
        m_payment->end();
        m_groups->end();
    }
    m_sessionGuid = guid;
    m_deviceSecret = deviceSecret.trimmed();
    m_deviceId = deviceId.trimmed();
    if (m_endpoint.http())
        m_endpoint.http()->setSession(m_sessionGuid, m_deviceSecret, m_deviceId);
    emit sessionChanged();
}

void RechargeApi::clearSession()
{
    ++m_session;
    m_payment->end();
    m_groups->end();
    m_sessionGuid = 0;
    m_deviceSecret.clear();
    m_deviceId.clear();
    if (m_endpoint.http())
        m_endpoint.http()->clearSession();
    emit sessionChanged();
}

bool RechargeApi::createLeaderTeamFor(const QVariantMap &entry, const QString &line, const QString &region,
                                      int size)
{
    const QVariantMap body = nimbra::purchase::teamCreateBody(entry, line, region, size);
    if (body.isEmpty())
        return false;
    createLeaderTeam(m_sessionGuid, body);
    return true;
}

bool RechargeApi::loadGroupDetailFor(const QVariantMap &order, qint64 orderId)
{
    const QVariantMap query = nimbra::purchase::groupDetailQuery(order, orderId);
    if (query.isEmpty())
        return false;
    loadGroupDetail(m_sessionGuid, query);
    return true;
}

QString RechargeApi::membershipTypeText(const QVariantMap &membership) const
{
    return nimbra::purchase::membershipTypeText(membership);
}

QString RechargeApi::membershipExpiryText(const QVariantMap &membership) const
{
    return nimbra::purchase::membershipExpiryText(membership);
}

QString RechargeApi::membershipTitle(const QVariantMap &membership) const
{
    return nimbra::purchase::membershipTitle(membership);
}

QString RechargeApi::membershipDescription(const QVariantMap &membership, bool loggedIn) const
{
    return nimbra::purchase::membershipDescription(membership, loggedIn);
}

void RechargeApi::loadPublicPurchaseEntry()
{
    sendPublic(kPublicPurchaseEntry, kEntryPath, QJsonObject(), 0);
}

void RechargeApi::loadPurchaseEntry(qint64 guid)
{
    sendSigned(kPurchaseEntry, kEntryPath, guid, {{kGuid, guid}}, 0);
}

void RechargeApi::loadEntry(qint64 guid)
{
    loadPurchaseEntry(guid);
}

void RechargeApi::createSharedOrder(qint64 guid, const QVariantMap &selection)
{
    sendSigned(kCreateShared, kSharedCreatePath, guid, requestBody(guid, selection), 0);
}

void RechargeApi::createPrivateOrder(qint64 guid, const QVariantMap &selection)
{
    sendSigned(kCreatePrivate, kPrivateCreatePath, guid, requestBody(guid, selection), 0);
}

void RechargeApi::createGroupOrder(qint64 guid, const QVariantMap &selection)
{
    sendSigned(kCreateGroup, kGroupCreatePath, guid, requestBody(guid, selection), 0);
}

void RechargeApi::createPcPayment(qint64 guid, qint64 orderId)
{
    sendSigned(kPcPay, kPcPayPath, guid, {{kGuid, guid}, {kOrderId, orderId}}, orderId);
}

void RechargeApi::continueWechatOrder(qint64 guid, qint64 orderId)
{
    createPcPayment(guid, orderId);
}

void RechargeApi::queryPayStatus(qint64 guid, qint64 orderId)
{
    sendSigned(kPayStatus, kPayStatusPath, guid, {{kGuid, guid}, {kOrderId, orderId}}, orderId);
}

void RechargeApi::loadOrders(qint64 guid, int page, int pageSize)
{
    m_latestOrdersRequest = sendSigned(kOrders, kOrdersPath, guid,
                                       {{kGuid, guid},
                                        {QStringLiteral("page"), clamped(page, kMaxPage)},
                                        {QStringLiteral("page_size"), clamped(pageSize, kMaxPageSize)}},
                                       0);
}

void RechargeApi::loadOrderDetail(qint64 guid, qint64 orderId)
{
    sendSigned(kOrderDetail, kOrderDetailPath, guid, {{kGuid, guid}, {kOrderId, orderId}}, orderId);
}

void RechargeApi::cancelOrder(qint64 guid, qint64 orderId)
{
    sendSigned(kCancelOrder, kCancelOrderPath, guid, {{kGuid, guid}, {kOrderId, orderId}}, orderId);
}

void RechargeApi::loadGroupDetail(qint64 guid, const QVariantMap &query)
{
    m_latestGroupDetailRequest =
        sendSigned(kGroupDetail, kGroupDetailPath, guid, requestBody(guid, query), 0);
}

void RechargeApi::loadLeaderEntry(qint64 guid)
{
    sendSigned(kLeaderEntry, kLeaderEntryPath, guid, {{kGuid, guid}}, 0);
}

void RechargeApi::createLeaderTeam(qint64 guid, const QVariantMap &selection)
{
    sendSigned(kLeaderCreate, kLeaderCreatePath, guid, requestBody(guid, selection), 0);
}

void RechargeApi::loadLeaderTeams(qint64 guid, int page, int pageSize)
{
    sendSigned(kLeaderTeams, kLeaderTeamsPath, guid,
               {{kGuid, guid},
                {QStringLiteral("page"), clamped(page, kMaxPage)},
                {QStringLiteral("page_size"), clamped(pageSize, kMaxPageSize)}},
               0);
}

void RechargeApi::loadLeaderTeamDetail(qint64 guid, const QString &teamCode, qint64 teamId)
{
    QJsonObject body{{kGuid, guid}};
    // An own team is looked up by id; a code typed by the user names someone else's team.
    if (teamId >= 1)
        body.insert(kTeamId, teamId);
    else
        body.insert(kTeamCode, teamCode.trimmed());
    logOnly(QStringLiteral("[Recharge] 团长团详情查询 body=%1").arg(QString::fromUtf8(compactJson(body))));
    sendSigned(kLeaderTeamDetail, kGroupDetailPath, guid, body, 0);
}

void RechargeApi::createLeaderJoinOrder(qint64 guid, const QVariantMap &selection)
{
    sendSigned(kLeaderJoinOrder, kLeaderJoinOrderPath, guid, requestBody(guid, selection), 0);
}

void RechargeApi::setBusy(bool busy)
{
    if (busy) {
        if (++m_busyCount == 1)
            emit busyChanged();
        return;
    }
    if (m_busyCount > 0 && --m_busyCount == 0)
        emit busyChanged();
}

void RechargeApi::logAndTrace(const QString &message)
{
    qInfo().noquote() << message;
    emit trace(message);
}

quint64 RechargeApi::sendSigned(const QString &operation, const QString &path, qint64 guid,
                                const QJsonObject &body, qint64 context)
{
    if (guid <= 0 || guid != m_sessionGuid || m_deviceId.isEmpty() || m_deviceSecret.isEmpty()) {
        // Only whether the secrets exist is written, never their values.
        logAndTrace(QStringLiteral("[Recharge] 拒绝请求 op=%1 guid=%2 sessionGuid=%3 deviceId=%4 secret=%5")
                        .arg(operation, QString::number(guid), QString::number(m_sessionGuid),
                             presence(m_deviceId), presence(m_deviceSecret)));
        emit requestFailed(operation, QStringLiteral("登录状态无效，请重新登录后再购买"));
        return 0;
    }
    if (!m_endpoint.http()) {
        logAndTrace(QStringLiteral("[Recharge] 拒绝请求 op=%1：HttpManager 未初始化").arg(operation));
        emit requestFailed(operation, QStringLiteral("网络管理器未初始化"));
        return 0;
    }
    const quint64 requestId =
        m_endpoint.http()->postJson(operation, path, compactJson(body), guid, true, false);
    logAndTrace(QStringLiteral("[Recharge] 请求已提交 #%1 op=%2 path=%3 guid=%4 context=%5")
                    .arg(QString::number(requestId), operation, path, QString::number(guid),
                         QString::number(context)));
    m_pending.insert(requestId, {context, m_session});
    setBusy(true);
    return requestId;
}

void RechargeApi::sendPublic(const QString &operation, const QString &path, const QJsonObject &body,
                             qint64 context)
{
    if (!m_endpoint.http()) {
        logAndTrace(QStringLiteral("[Recharge] 拒绝公开请求 op=%1：HttpManager 未初始化").arg(operation));
        emit requestFailed(operation, QStringLiteral("网络管理器未初始化"));
        return;
    }
    const quint64 requestId =
        m_endpoint.http()->postJson(operation, path, compactJson(body), 0, false, false);
    logAndTrace(QStringLiteral("[Recharge] 公开请求已提交 #%1 op=%2 path=%3 guid=0 signed=false context=%4")
                    .arg(QString::number(requestId), operation, path, QString::number(context)));
    m_pending.insert(requestId, {context, 0});
    setBusy(true);
}

void RechargeApi::handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                                 const QVariantMap &response, const QString &errorMessage)
{
    // The pipeline broadcasts every reply to every client; only our own ids are ours to handle.
    const auto found = m_pending.constFind(requestId);
    if (found == m_pending.constEnd()) {
        logAndTrace(
            QStringLiteral("[Recharge] 忽略未知回调 #%1 op=%2").arg(QString::number(requestId), operation));
        return;
    }
    const qint64 context = found->context;
    const bool wasPublic = found->session == 0;
    const bool sessionEnded = !wasPublic && found->session != m_session;
    m_pending.erase(found);
    setBusy(false);

    const QString id = QString::number(requestId);
    // The previous account's orders, teams or membership must not show after its sign-out.
    if (sessionEnded) {
        logAndTrace(QStringLiteral("[Recharge] 忽略已结束会话的回调 #%1 op=%2").arg(id, operation));
        return;
    }
    logAndTrace(
        QStringLiteral("[Recharge] 收到回调 #%1 op=%2 success=%3 httpStatus=%4 keys=%5")
            .arg(id, operation, boolText(success), QString::number(httpStatus), keysText(response.keys())));
    if (!success) {
        const QString message = errorMessage.isEmpty() ? QStringLiteral("请求失败") : errorMessage;
        logAndTrace(QStringLiteral("[Recharge] 请求失败 #%1 op=%2 message=%3").arg(id, operation, message));
        emit requestFailed(operation, message);
        return;
    }

    const QVariant dataValue = response.value(QStringLiteral("data"));
    qint64 serverTime = variantInteger(dataValue.toMap().value(QStringLiteral("server_time")));
    if (serverTime < 1)
        serverTime = variantInteger(response.value(QStringLiteral("server_time")));
    if (serverTime < 1)
        serverTime = QDateTime::currentSecsSinceEpoch();

    // The entry is large: it goes out as the variant map the pipeline already made, never through JSON.
    struct Route
    {
        void (RechargeApi::*handler)(const Reply &);
        bool variantData;
    };
    static const QHash<QString, Route> routes{
        {kPurchaseEntry, {&RechargeApi::onEntry, true}},
        {kPublicPurchaseEntry, {&RechargeApi::onEntry, true}},
        {kCreateShared, {&RechargeApi::onOrderCreated, false}},
        {kCreatePrivate, {&RechargeApi::onOrderCreated, false}},
        {kCreateGroup, {&RechargeApi::onOrderCreated, false}},
        {kLeaderJoinOrder, {&RechargeApi::onOrderCreated, false}},
        {kPcPay, {&RechargeApi::onPcPayment, false}},
        {kPayStatus, {&RechargeApi::onPayStatus, false}},
        {kOrders, {&RechargeApi::onOrders, false}},
        {kOrderDetail, {&RechargeApi::onOrderDetail, false}},
        {kCancelOrder, {&RechargeApi::onOrderCancelled, false}},
        {kGroupDetail, {&RechargeApi::onGroupDetail, false}},
        {kLeaderEntry, {&RechargeApi::onLeaderEntry, false}},
        {kLeaderCreate, {&RechargeApi::onLeaderTeamCreated, false}},
        {kLeaderTeams, {&RechargeApi::onLeaderTeams, false}},
        {kLeaderTeamDetail, {&RechargeApi::onLeaderTeamDetail, false}},
    };
    const Route route = routes.value(operation, {nullptr, false});
    Reply reply{requestId, id, operation, context, wasPublic, serverTime, {}, {}};
    if (route.variantData) {
        reply.entry = dataValue.toMap();
        logAndTrace(QStringLiteral("[Recharge] 解析完成 #%1 op=%2 dataKeys=%3 serverTime=%4 (variant path)")
                        .arg(id, operation, keysText(reply.entry.keys()), QString::number(serverTime)));
    } else {
        const QJsonValue dataJson = QJsonObject::fromVariantMap(response).value(QLatin1String("data"));
        reply.data = dataJson.isObject() ? dataJson.toObject() : QJsonObject();
        logAndTrace(QStringLiteral("[Recharge] 解析完成 #%1 op=%2 dataKeys=%3 serverTime=%4")
                        .arg(id, operation, keysText(reply.data.keys()), QString::number(serverTime)));
    }
    if (route.handler)
        (this->*route.handler)(reply);
}

void RechargeApi::onEntry(const Reply &reply)
{
    if (reply.wasPublic || reply.operation == kPublicPurchaseEntry) {
        logAndTrace(QStringLiteral("[Recharge] 发出 %1 #%2")
                        .arg(QStringLiteral("publicPurchaseEntryLoaded"), reply.id));
        emit publicPurchaseEntryLoaded(reply.entry, reply.serverTime);
    } else {
        logAndTrace(
            QStringLiteral("[Recharge] 发出 %1 #%2").arg(QStringLiteral("purchaseEntryLoaded"), reply.id));
        emit purchaseEntryLoaded(reply.entry, reply.serverTime);
    }
}

void RechargeApi::onOrderCreated(const Reply &reply)
{
    static const QHash<QString, QString> kinds{{kCreateShared, QStringLiteral("shared")},
                                               {kCreatePrivate, QStringLiteral("private")},
                                               {kCreateGroup, QStringLiteral("group")},
                                               {kLeaderJoinOrder, QStringLiteral("leader_join")}};
    emit orderCreated(kinds.value(reply.operation),
                      nimbra::purchase::normalizeOrder(objectOrSelf(reply.data, QStringLiteral("order"))),
                      reply.serverTime);
    loadOrders(m_sessionGuid, kFirstPage, kDefaultPageSize);
}

void RechargeApi::onPcPayment(const Reply &reply)
{
    const QVariantMap payment = nimbra::purchase::normalizePayment(reply.data);
    emit pcPaymentReady(payment, payment.value(QStringLiteral("code_url")).toString(), reply.serverTime);
}

void RechargeApi::onPayStatus(const Reply &reply)
{
    const qint64 guid = m_sessionGuid;
    const QJsonObject order = objectOrSelf(reply.data, QStringLiteral("order"));
    QVariantMap status = reply.data.toVariantMap();
    status.insert(QStringLiteral("order"), nimbra::purchase::normalizeOrder(order));
    emit payStatusUpdated(status, reply.serverTime);
    const QString paymentStatus = order.value(QLatin1String("payment_status")).toString();
    // A final status changes the membership or the order list, so both are fetched again.
    if (paymentStatus == QLatin1String("paid")) {
        loadPurchaseEntry(guid);
        loadOrders(guid, kFirstPage, kDefaultPageSize);
    } else if (paymentStatus == QLatin1String("closed") || paymentStatus == QLatin1String("expired") ||
               paymentStatus == QLatin1String("refunded") || paymentStatus == QLatin1String("exception")) {
        loadOrders(guid, kFirstPage, kDefaultPageSize);
    }
}

void RechargeApi::onOrders(const Reply &reply)
{
    // Answers may come back out of order: only the latest request's list is current.
    if (reply.requestId != m_latestOrdersRequest) {
        logAndTrace(QStringLiteral("[Recharge] 忽略过期的订单列表 #%1").arg(reply.id));
        return;
    }
    handleOrders(reply.data, reply.serverTime);
}

void RechargeApi::onOrderDetail(const Reply &reply)
{
    emit orderDetailLoaded(
        nimbra::purchase::normalizeOrder(objectOrSelf(reply.data, QStringLiteral("order"))),
        reply.serverTime);
}

void RechargeApi::onOrderCancelled(const Reply &reply)
{
    const qint64 cancelled = objectOrSelf(reply.data, QStringLiteral("order")).value(kOrderId).toInteger();
    // Some answers carry no order; the id that was sent is the one cancelled.
    emit orderCancelled(cancelled >= 1 ? cancelled : reply.context);
    loadOrders(m_sessionGuid, kFirstPage, kDefaultPageSize);
}

void RechargeApi::onGroupDetail(const Reply &reply)
{
    if (reply.requestId != m_latestGroupDetailRequest) {
        logAndTrace(QStringLiteral("[Recharge] 忽略过期的拼团详情 #%1").arg(reply.id));
        return;
    }
    const QJsonObject &data = reply.data;
    const QJsonObject team = data.value(QLatin1String("team")).toObject();
    const QString teamCode = team.value(kTeamCode).toString();
    logOnly(QStringLiteral("[Recharge] 拼团详情字段 teamId=%1 teamType=%2 hasTeamCode=%3 codeLength=%4 "
                           "paid=%5/%6 teamKeys=%7 waitingKeys=%8")
                .arg(QString::number(team.value(kTeamId).toInteger()),
                     team.value(QLatin1String("team_type")).toString(),
                     QString::number(teamCode.isEmpty() ? 0 : 1), QString::number(teamCode.size()),
                     QString::number(team.value(QLatin1String("paid_member_count")).toInteger()),
                     QString::number(team.value(QLatin1String("member_count")).toInteger()),
                     keysText(team.keys()),
                     keysText(data.value(QLatin1String("waiting")).toObject().keys())));
    // The detail reads the group's team, or the group itself when it names none.
    const QJsonObject group = objectOrSelf(data, QStringLiteral("group"));
    const QJsonValue groupTeam = group.value(QLatin1String("team"));
    QVariantMap detail;
    if (groupTeam.isObject()) {
        detail = group.toVariantMap();
        detail.insert(QStringLiteral("team"), nimbra::purchase::normalizeTeam(groupTeam.toObject()));
    } else {
        detail = nimbra::purchase::normalizeTeam(group);
    }
    emit groupDetailLoaded(detail, reply.serverTime);
}

void RechargeApi::onLeaderEntry(const Reply &reply)
{
    emit leaderEntryLoaded(nimbra::purchase::normalizeLeaderEntry(reply.data), reply.serverTime);
}

void RechargeApi::onLeaderTeamCreated(const Reply &reply)
{
    emit leaderTeamCreated(nimbra::purchase::normalizeTeam(objectOrSelf(reply.data, QStringLiteral("team"))),
                           reply.serverTime);
    loadLeaderTeams(m_sessionGuid, kFirstPage, kDefaultPageSize);
}

void RechargeApi::onLeaderTeams(const Reply &reply)
{
    const Page page = pageOf(reply.data);
    QVariantList teams;
    for (const QJsonValue &value : firstArray(reply.data)) {
        if (value.isObject())
            teams.append(nimbra::purchase::normalizeTeam(value.toObject()));
    }
    emit leaderTeamsLoaded(teams, page.page, page.pageSize, page.total, page.hasMore, reply.serverTime);
}

void RechargeApi::onLeaderTeamDetail(const Reply &reply)
{
    // Screens read the team's fields at the top level; the team's own values win.
    QJsonObject merged = reply.data;
    const QJsonObject team = reply.data.value(QLatin1String("team")).toObject();
    for (auto it = team.constBegin(); it != team.constEnd(); ++it)
        merged.insert(it.key(), it.value());
    emit leaderTeamDetailLoaded(nimbra::purchase::normalizeTeam(merged), reply.serverTime);
}

void RechargeApi::handleOrders(const QJsonObject &data, qint64 serverTime)
{
    const Page page = pageOf(data);
    emit ordersLoaded(nimbra::purchase::normalizeOrders(firstArray(data)), page.page, page.pageSize,
                      page.total, page.hasMore, serverTime);

    // After a group order is paid its team is looked up, so the group screens show it without a click.
    const QJsonArray orders = firstArray(data);
    for (const QJsonValue &value : orders) {
        const QJsonObject order = value.toObject();
        const QJsonObject group = order.value(QLatin1String("group")).toObject();
        const bool isGroup =
            order.value(QLatin1String("product_type")).toString().contains(QLatin1String("group")) ||
            !group.isEmpty();
        if (!isGroup || order.value(QLatin1String("payment_status")).toString() != QLatin1String("paid"))
            continue;

        const qint64 orderId = order.value(kOrderId).toInteger();
        const qint64 teamId = group.value(kTeamId).toInteger();
        const QString teamCode = group.value(kTeamCode).toString();
        QVariantMap query;
        if (teamId >= 1)
            query.insert(kTeamId, teamId);
        else if (!teamCode.isEmpty())
            query.insert(kTeamCode, teamCode);
        else if (orderId > 0)
            query.insert(kOrderId, orderId);
        logOnly(
            QStringLiteral("[Recharge] 已定位已支付拼团订单 orderId=%1 teamId=%2 hasTeamCode=%3 groupKeys=%4")
                .arg(QString::number(orderId), QString::number(teamId),
                     QString::number(teamCode.isEmpty() ? 0 : 1), keysText(group.keys())));
        if (!query.isEmpty() && m_sessionGuid > 0)
            loadGroupDetail(m_sessionGuid, query);
        return;
    }
}
