#pragma once

#include "net/serviceendpoint.h"
#include "purchase/grouppurchase.h"
#include "purchase/paymentorder.h"
#include "purchase/purchaseselection.h"
#include <QHash>
#include <QJsonObject>

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>

// The purchase service client: membership catalogue, orders of the three purchase modes and of leader
// team seats, the WeChat PC payment and its status, the order list, group-buy teams and the team-leader
// operations. Every call is one JSON POST through the shared pipeline; every result is one signal.
class RechargeApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString baseUrl READ baseUrl WRITE setBaseUrl NOTIFY baseUrlChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // The purchase in progress; it lives as long as the client and ends with each session.
    Q_PROPERTY(PaymentOrder *payment READ payment CONSTANT)
    // The membership page's choice and its group buying; a page that opens starts them afresh.
    Q_PROPERTY(PurchaseSelection *selection READ selection CONSTANT)
    Q_PROPERTY(GroupPurchase *groups READ groups CONSTANT)

public:
    explicit RechargeApi(const QString &baseUrl = {}, QObject *parent = nullptr);

    void setHttpManager(HttpManager *manager);
    QString baseUrl() const { return m_endpoint.baseUrl(); }
    void setBaseUrl(const QString &url);
    bool busy() const { return m_busyCount > 0; }
    PaymentOrder *payment() const { return m_payment; }
    PurchaseSelection *selection() const { return m_selection; }
    GroupPurchase *groups() const { return m_groups; }
    // The signed-in user of the current session; 0 when none.
    Q_INVOKABLE qint64 sessionGuid() const { return m_sessionGuid; }

    Q_INVOKABLE void loadPublicPurchaseEntry();
    Q_INVOKABLE void loadPurchaseEntry(qint64 guid);
    Q_INVOKABLE void loadEntry(qint64 guid);
    Q_INVOKABLE void createSharedOrder(qint64 guid, const QVariantMap &selection);
    Q_INVOKABLE void createPrivateOrder(qint64 guid, const QVariantMap &selection);
    Q_INVOKABLE void createGroupOrder(qint64 guid, const QVariantMap &selection);
    Q_INVOKABLE void createPcPayment(qint64 guid, qint64 orderId);
    Q_INVOKABLE void continueWechatOrder(qint64 guid, qint64 orderId);
    Q_INVOKABLE void queryPayStatus(qint64 guid, qint64 orderId);
    Q_INVOKABLE void loadOrders(qint64 guid, int page = 1, int pageSize = 20);
    Q_INVOKABLE void loadOrderDetail(qint64 guid, qint64 orderId);
    Q_INVOKABLE void cancelOrder(qint64 guid, qint64 orderId);
    Q_INVOKABLE void loadGroupDetail(qint64 guid, const QVariantMap &query);
    Q_INVOKABLE void loadLeaderEntry(qint64 guid);
    Q_INVOKABLE void createLeaderTeam(qint64 guid, const QVariantMap &selection);
    Q_INVOKABLE void loadLeaderTeams(qint64 guid, int page = 1, int pageSize = 20);
    Q_INVOKABLE void loadLeaderTeamDetail(qint64 guid, const QString &teamCode, qint64 teamId = 0);
    Q_INVOKABLE void createLeaderJoinOrder(qint64 guid, const QVariantMap &selection);
    // A new team of the leader entry's line, region and size for the signed-in leader; false, and
    // nothing sent, when the combination has no purchasable price item.
    Q_INVOKABLE bool createLeaderTeamFor(const QVariantMap &entry, const QString &line, const QString &region,
                                         int size);
    // The group detail of an order record (its team, group or code, else `orderId`); false, and nothing
    // sent, when there is nothing to ask for.
    Q_INVOKABLE bool loadGroupDetailFor(const QVariantMap &order, qint64 orderId);
    // The texts of a membership record (membershiptexts.h), for the screens that show one.
    Q_INVOKABLE QString membershipTypeText(const QVariantMap &membership) const;
    Q_INVOKABLE QString membershipExpiryText(const QVariantMap &membership) const;
    Q_INVOKABLE QString membershipTitle(const QVariantMap &membership) const;
    Q_INVOKABLE QString membershipDescription(const QVariantMap &membership, bool loggedIn) const;
    Q_INVOKABLE void setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId);
    Q_INVOKABLE void clearSession();

signals:
    void trace(const QString &message);
    void baseUrlChanged();
    void busyChanged();
    void sessionChanged();
    void publicPurchaseEntryLoaded(const QVariantMap &entry, qint64 serverTime);
    void purchaseEntryLoaded(const QVariantMap &entry, qint64 serverTime);
    void orderCreated(const QString &kind, const QVariantMap &order, qint64 serverTime);
    void pcPaymentReady(const QVariantMap &payment, const QString &codeUrl, qint64 serverTime);
    void payStatusUpdated(const QVariantMap &status, qint64 serverTime);
    void ordersLoaded(const QVariantList &orders, int page, int pageSize, int total, bool hasMore,
                      qint64 serverTime);
    void orderDetailLoaded(const QVariantMap &order, qint64 serverTime);
    void orderCancelled(qint64 orderId);
    void groupDetailLoaded(const QVariantMap &group, qint64 serverTime);
    void leaderEntryLoaded(const QVariantMap &entry, qint64 serverTime);
    void leaderTeamCreated(const QVariantMap &team, qint64 serverTime);
    void leaderTeamsLoaded(const QVariantList &teams, int page, int pageSize, int total, bool hasMore,
                           qint64 serverTime);
    void leaderTeamDetailLoaded(const QVariantMap &team, qint64 serverTime);
    void requestFailed(const QString &operation, const QString &message);

private:
    // Counts requests rather than flipping a flag: true adds one outstanding request, false removes one.
    void setBusy(bool busy);
    // The request id, or 0 when the request was refused.
    quint64 sendSigned(const QString &operation, const QString &path, qint64 guid, const QJsonObject &body,
                       qint64 context);
    void sendPublic(const QString &operation, const QString &path, const QJsonObject &body, qint64 context);
    void handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                        const QVariantMap &response, const QString &errorMessage);
    // One successful answer, read once by handleResponse and handed to the operation's handler.
    struct Reply
    {
        quint64 requestId = 0;
        QString id;
        QString operation;
        qint64 context = 0;
        bool wasPublic = false;
        qint64 serverTime = 0;
        // The purchase entry's data as the pipeline made it; the other operations' data as JSON.
        QVariantMap entry;
        QJsonObject data;
    };
    void onEntry(const Reply &reply);
    void onOrderCreated(const Reply &reply);
    void onPcPayment(const Reply &reply);
    void onPayStatus(const Reply &reply);
    void onOrders(const Reply &reply);
    void onOrderDetail(const Reply &reply);
    void onOrderCancelled(const Reply &reply);
    void onGroupDetail(const Reply &reply);
    void onLeaderEntry(const Reply &reply);
    void onLeaderTeamCreated(const Reply &reply);
    void onLeaderTeams(const Reply &reply);
    void onLeaderTeamDetail(const Reply &reply);
    void handleOrders(const QJsonObject &data, qint64 serverTime);
    void logAndTrace(const QString &message);
    QString m_deviceId;
    QString m_deviceSecret;
    qint64 m_sessionGuid = 0;
    int m_busyCount = 0;
    PaymentOrder *m_payment = nullptr;
    GroupPurchase *m_groups = nullptr;
    PurchaseSelection *m_selection = nullptr;
    ServiceEndpoint m_endpoint;
    struct Pending
    {
        qint64 context = 0;
        // The session the request was signed in; 0 for a public request, which outlives sessions.
        quint64 session = 0;
    };
    QHash<quint64, Pending> m_pending;
    // Advanced whenever a session ends, so that answers to its requests are dropped.
    quint64 m_session = 1;
    // The last order-list request: its answer replaces any earlier one, so an older list that arrives
    // late must not overwrite it.
    quint64 m_latestOrdersRequest = 0;
    // The same for the group detail: a refresh and the follow-up of a paid order can overlap.
    quint64 m_latestGroupDetailRequest = 0;
};
