// The purchase client: what it puts on the wire and how it reads replies (against a recording
// loopback server), and its whole flows against the dev service's purchase endpoints.
#include "purchase/rechargeapi.h"

#include "account/authapi.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>

namespace {

constexpr qint64 kGuid = 10001;
const QString kSecret = QStringLiteral("device-secret-value-7f3a");
const QString kRefusal = QStringLiteral("登录状态无效，请重新登录后再购买");

// A loopback HTTP server standing in for the service: it records every request and answers each path
// with the envelope set for it (an empty success unless another default is set), unless replies are
// held back.
class FakeService : public QObject
{
public:
    struct Request
    {
        QString path;
        QJsonObject body;
        bool signedRequest = false;
    };

    FakeService()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    void setReply(const QString &path, const QVariantMap &envelope) { m_replies.insert(path, envelope); }
    void setDefaultReply(const QVariantMap &envelope) { m_defaultReply = envelope; }
    void holdReplies() { m_holding = true; }
    bool waitForRequests(qsizetype count)
    {
        return QTest::qWaitFor([&] { return requests.size() >= count; }, 5000);
    }
    QList<Request> requestsTo(const QString &path) const
    {
        QList<Request> found;
        for (const Request &request : requests) {
            if (request.path == path)
                found.append(request);
        }
        return found;
    }

    QList<Request> requests;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (;;) {
            const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
            qsizetype length = 0;
            bool signedRequest = false;
            for (const QByteArray &line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                const QByteArray name = line.left(colon).trimmed().toLower();
                if (name == "content-length")
                    length = line.mid(colon + 1).trimmed().toLongLong();
                else if (name == "x-signature")
                    signedRequest = true;
            }
            if (buffer.size() < headerEnd + 4 + length)
                return;
            const QString path = QString::fromUtf8(lines.first().split(' ').value(1));
            const QByteArray body = buffer.mid(headerEnd + 4, length);
            buffer.remove(0, headerEnd + 4 + length);
            requests.append({path, QJsonDocument::fromJson(body).object(), signedRequest});
            if (m_holding)
                continue;
            const QVariantMap envelope = m_replies.value(path, m_defaultReply);
            const QByteArray payload = QJsonDocument::fromVariant(envelope).toJson(QJsonDocument::Compact);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                          QByteArray::number(payload.size()) + "\r\n\r\n" + payload);
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QString, QVariantMap> m_replies;
    QVariantMap m_defaultReply{{QStringLiteral("code"), 1}, {QStringLiteral("data"), QVariantMap()}};
    bool m_holding = false;
};

QVariantMap success(const QVariantMap &data, const QVariant &topLevelServerTime = QVariant())
{
    QVariantMap envelope{{QStringLiteral("code"), 1},
                         {QStringLiteral("msg"), QStringLiteral("ok")},
                         {QStringLiteral("data"), data}};
    if (topLevelServerTime.isValid())
        envelope.insert(QStringLiteral("server_time"), topLevelServerTime);
    return envelope;
}

QVariantMap fixture(const QString &name)
{
    QFile file(QStringLiteral(NIMBRA_SOURCE_DIR "/tests/purchase/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
}

QVariantMap mapAt(const QVariantMap &map, const char *key)
{
    return map.value(QLatin1String(key)).toMap();
}

// Every signal of the client, with waits that report a failure signal instead of timing out silently.
struct Spies
{
    explicit Spies(RechargeApi &api)
        : traces(&api, &RechargeApi::trace)
        , busy(&api, &RechargeApi::busyChanged)
        , session(&api, &RechargeApi::sessionChanged)
        , publicEntry(&api, &RechargeApi::publicPurchaseEntryLoaded)
        , entry(&api, &RechargeApi::purchaseEntryLoaded)
        , created(&api, &RechargeApi::orderCreated)
        , payment(&api, &RechargeApi::pcPaymentReady)
        , payStatus(&api, &RechargeApi::payStatusUpdated)
        , orders(&api, &RechargeApi::ordersLoaded)
        , detail(&api, &RechargeApi::orderDetailLoaded)
        , cancelled(&api, &RechargeApi::orderCancelled)
        , group(&api, &RechargeApi::groupDetailLoaded)
        , leaderEntry(&api, &RechargeApi::leaderEntryLoaded)
        , teamCreated(&api, &RechargeApi::leaderTeamCreated)
        , teams(&api, &RechargeApi::leaderTeamsLoaded)
        , teamDetail(&api, &RechargeApi::leaderTeamDetailLoaded)
        , failed(&api, &RechargeApi::requestFailed)
    {}

    // Waits until `spy` has more than `count` entries; a failure signal meanwhile ends the wait.
    bool reach(QSignalSpy &spy, qsizetype count)
    {
        const qsizetype failedBefore = failed.count();
        if (!QTest::qWaitFor([&] { return spy.count() > count || failed.count() > failedBefore; }, 10000))
            return false;
        if (spy.count() > count)
            return true;
        qWarning() << "request failed:" << failed.constLast();
        return false;
    }
    bool next(QSignalSpy &spy) { return reach(spy, spy.count()); }

    QString nextFailure()
    {
        const qsizetype before = failed.count();
        if (!QTest::qWaitFor([&] { return failed.count() > before; }, 10000))
            return QStringLiteral("<no failure>");
        return failed.constLast().at(0).toString() + QLatin1Char('|') + failed.constLast().at(1).toString();
    }

    // The request id of the last request this client submitted, read from its trace line.
    quint64 lastSubmittedId() const
    {
        static const QRegularExpression submitted(
            QStringLiteral("^\\[Recharge\\] (公开)?请求已提交 #(\\d+) "));
        quint64 id = 0;
        for (const QVariantList &line : traces) {
            const auto match = submitted.match(line.at(0).toString());
            if (match.hasMatch())
                id = match.captured(2).toULongLong();
        }
        return id;
    }

    bool traced(const QString &text) const
    {
        for (const QVariantList &line : traces) {
            if (line.at(0).toString().contains(text))
                return true;
        }
        return false;
    }

    QSignalSpy traces;
    QSignalSpy busy;
    QSignalSpy session;
    QSignalSpy publicEntry;
    QSignalSpy entry;
    QSignalSpy created;
    QSignalSpy payment;
    QSignalSpy payStatus;
    QSignalSpy orders;
    QSignalSpy detail;
    QSignalSpy cancelled;
    QSignalSpy group;
    QSignalSpy leaderEntry;
    QSignalSpy teamCreated;
    QSignalSpy teams;
    QSignalSpy teamDetail;
    QSignalSpy failed;
};

QVariantMap firstOrder(const Spies &spies)
{
    return spies.orders.constLast().at(0).toList().value(0).toMap();
}

// The client wired to a pipeline pointing at `baseUrl`, with the given session installed.
struct Wired
{
    explicit Wired(const QString &baseUrl)
    {
        api.setBaseUrl(baseUrl);
        api.setHttpManager(&http);
        api.setSession(kGuid, kSecret, QStringLiteral("device-1"));
    }

    HttpManager http;
    RechargeApi api;
};

} // namespace

namespace {

// How a row's payment ends; Mismatch: the plan shown costs a fen less than the service charges.
enum class End
{
    Mismatch,
    Paid,
    Expired,
    Cancelled,
    SignedOut
};

} // namespace

Q_DECLARE_METATYPE(End)

class TestRechargeApi : public QObject
{
    Q_OBJECT

private:
    // The body of the one request that `call` puts on the wire.
    static QJsonObject sentBody(FakeService &service, const std::function<void()> &call)
    {
        service.requests.clear();
        call();
        if (!service.waitForRequests(1))
            return {{QStringLiteral("error"), QStringLiteral("nothing sent")}};
        return service.requests.constFirst().body;
    }

    // Signs in the seeded account through the account client and hands the session to `api`.
    bool signIn(HttpManager &http, AuthApi &auth, RechargeApi &api)
    {
        auth.setBaseUrl(m_service->baseUrl());
        api.setBaseUrl(m_service->baseUrl());
        auth.setHttpManager(&http);
        api.setHttpManager(&http);
        QSignalSpy authenticated(&auth, &AuthApi::authenticated);
        auth.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        if (!authenticated.wait(10000))
            return false;
        const QVariantList signedIn = authenticated.constFirst();
        m_deviceSecret = auth.deviceSecret();
        api.setSession(signedIn.at(2).toInt(), m_deviceSecret, auth.deviceId());
        return signedIn.at(2).toInt() == kGuid;
    }

    // Completes a payment as the payment notification would, through the dev-only endpoint.
    bool devPay(qint64 orderId)
    {
        HttpManager http;
        http.setBaseUrl(m_service->baseUrl());
        QSignalSpy answer(&http, &HttpManager::responseReady);
        http.postJson(QStringLiteral("dev"), QStringLiteral("/__dev/pay"),
                      QJsonDocument(QJsonObject{{QStringLiteral("order_id"), orderId}}).toJson());
        return answer.wait(10000) && answer.constFirst().at(2).toBool();
    }

    // A plan's price in fen as the service's catalogue names it.
    static qint64 catalogueFen(RechargeApi &api, qint64 productId)
    {
        QSignalSpy entry(&api, &RechargeApi::purchaseEntryLoaded);
        api.loadPurchaseEntry(api.sessionGuid());
        if (!entry.wait(10000))
            return 0;
        const QVariantList products = entry.constFirst()
                                          .at(0)
                                          .toMap()
                                          .value(QStringLiteral("shared"))
                                          .toMap()
                                          .value("products")
                                          .toList();
        for (const QVariant &product : products) {
            if (product.toMap().value(QStringLiteral("product_id")).toLongLong() == productId)
                return qRound64(product.toMap().value(QStringLiteral("price")).toDouble() * 100);
        }
        return 0;
    }

    std::unique_ptr<DevServiceProcess> m_service;
    QString m_deviceSecret;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY(m_service->isRunning());
    }
    void cleanupTestCase()
    {
        m_service.reset();
        QSettings().clear();
    }

    void refusalsSendNothing()
    {
        RechargeApi api;
        Spies spies(api);

        // No session: refused before the missing pipeline is even looked at.
        api.loadOrders(kGuid);
        QCOMPARE(spies.failed.constLast(), (QVariantList{"orders", kRefusal}));
        QVERIFY(spies.traced(
            QStringLiteral("op=orders guid=10001 sessionGuid=0 deviceId=<empty> secret=<empty>")));

        api.setSession(kGuid, QStringLiteral("  ") + kSecret + QStringLiteral(" "),
                       QStringLiteral(" device-1 "));
        QCOMPARE(spies.session.count(), 1);
        api.loadOrders(kGuid);
        QCOMPARE(spies.failed.constLast(), (QVariantList{"orders", "网络管理器未初始化"}));
        api.loadPublicPurchaseEntry();
        QCOMPARE(spies.failed.constLast(), (QVariantList{"public_purchase_entry", "网络管理器未初始化"}));
        // Another user's guid is never sent under this session.
        api.createSharedOrder(kGuid + 1, {{"product_id", 101}});
        QCOMPARE(spies.failed.constLast(), (QVariantList{"create_shared_order", kRefusal}));

        api.setSession(kGuid, kSecret, QStringLiteral("   "));
        api.loadLeaderEntry(kGuid);
        QCOMPARE(spies.failed.constLast(), (QVariantList{"leader_entry", kRefusal}));
        QVERIFY(spies.traced(QStringLiteral("deviceId=<empty> secret=<set>")));

        api.setSession(kGuid, kSecret, QStringLiteral("device-1"));
        api.clearSession();
        QCOMPARE(spies.session.count(), 4);
        api.cancelOrder(kGuid, 26000001);
        QCOMPARE(spies.failed.constLast(), (QVariantList{"cancel_order", kRefusal}));

        QCOMPARE(spies.failed.count(), 6);
        QCOMPARE(spies.busy.count(), 0);
        for (const QVariantList &line : std::as_const(spies.traces))
            QVERIFY2(!line.at(0).toString().contains(kSecret), qPrintable(line.at(0).toString()));
    }

    void bodiesOnTheWire()
    {
        FakeService service;
        // Refused, so no follow-up request mixes in (held replies would use up the connections).
        service.setDefaultReply({{"code", 0}, {"msg", "refused"}});
        Wired wired(service.baseUrl());
        RechargeApi &api = wired.api;

        const auto paging = [](const QJsonObject &body) {
            return QStringLiteral("%1/%2")
                .arg(body.value(QLatin1String("page")).toInt())
                .arg(body.value(QLatin1String("page_size")).toInt());
        };
        QCOMPARE(paging(sentBody(service, [&] { api.loadOrders(kGuid, 0, 0); })), QStringLiteral("1/1"));
        QCOMPARE(paging(sentBody(service, [&] { api.loadOrders(kGuid, 200000, 80); })),
                 QStringLiteral("100000/50"));
        QCOMPARE(paging(sentBody(service, [&] { api.loadLeaderTeams(kGuid, -4, 50); })),
                 QStringLiteral("1/50"));

        // Channel hints never go out, and the body's guid is always the caller's.
        const QVariantMap selection{{"product_id", 101},   {"platform", "pc"}, {"pay_scene", "native"},
                                    {"gateway", "alipay"}, {"guid", 777},      {"node_type_id", 2}};
        QCOMPARE(sentBody(service, [&] { api.createSharedOrder(kGuid, selection); }),
                 (QJsonObject{{"guid", kGuid}, {"product_id", 101}, {"node_type_id", 2}}));

        // A leader team is looked up by id when one is known, else by the trimmed code as typed.
        QCOMPARE(sentBody(service, [&] { api.loadLeaderTeamDetail(kGuid, QStringLiteral("AB12CD"), 42); }),
                 (QJsonObject{{"guid", kGuid}, {"team_id", 42}}));
        QCOMPARE(sentBody(service, [&] { api.loadLeaderTeamDetail(kGuid, QStringLiteral(" ab12cd "), 0); }),
                 (QJsonObject{{"guid", kGuid}, {"team_code", "ab12cd"}}));

        // The public catalogue goes out unsigned with an empty body, even while signed in.
        service.requests.clear();
        api.loadPublicPurchaseEntry();
        QVERIFY(service.waitForRequests(1));
        QCOMPARE(service.requests.constFirst().body, QJsonObject());
        QVERIFY(!service.requests.constFirst().signedRequest);
    }

    void busyCountsOnlyOwnReplies()
    {
        FakeService service;
        service.holdReplies();
        Wired wired(service.baseUrl());
        RechargeApi &api = wired.api;
        Spies spies(api);

        api.loadOrders(kGuid);
        const quint64 first = spies.lastSubmittedId();
        api.loadLeaderEntry(kGuid);
        const quint64 second = spies.lastSubmittedId();
        QVERIFY(first > 0 && second > first);
        QVERIFY(api.busy());

        // Another client's reply on the shared pipeline.
        emit wired.http.responseReady(second + 50, QStringLiteral("detail"), true, 200, {}, QString());
        QVERIFY(spies.traced(QStringLiteral("[Recharge] 忽略未知回调 #%1 op=detail").arg(second + 50)));
        QVERIFY(api.busy());

        emit wired.http.responseReady(first, QStringLiteral("orders"), false, 0, {}, QString());
        QVERIFY(api.busy());
        QCOMPARE(spies.failed.constLast(), (QVariantList{"orders", "请求失败"}));
        emit wired.http.responseReady(second, QStringLiteral("leader_entry"), false, 200, {},
                                      QStringLiteral("网络连接失败"));
        QVERIFY(!api.busy());
        QCOMPARE(spies.failed.constLast(), (QVariantList{"leader_entry", "网络连接失败"}));

        // A second answer for an id already answered is stale.
        emit wired.http.responseReady(first, QStringLiteral("orders"), true, 200, success({}), QString());
        QCOMPARE(spies.orders.count(), 0);
        QCOMPARE(spies.failed.count(), 2);
        QCOMPARE(spies.busy.count(), 2);
        QVERIFY(!api.busy());

        // The order list is reloaded after every change: an older list answered after a newer one
        // must not replace it.
        api.loadOrders(kGuid);
        const quint64 older = spies.lastSubmittedId();
        api.loadOrders(kGuid);
        const quint64 newer = spies.lastSubmittedId();
        const auto page = [](qint64 orderId) {
            return success({{"items", QVariantList{QVariantMap{{"order_id", orderId}}}}});
        };
        emit wired.http.responseReady(newer, QStringLiteral("orders"), true, 200, page(2), QString());
        emit wired.http.responseReady(older, QStringLiteral("orders"), true, 200, page(1), QString());
        QCOMPARE(spies.orders.count(), 1);
        QCOMPARE(firstOrder(spies).value(QStringLiteral("order_id")).toInt(), 2);
        QVERIFY(!api.busy());

        // So is a group's detail: a refresh can overtake the follow-up of a paid order.
        api.loadGroupDetail(kGuid, {{"team_id", 7}});
        const quint64 olderDetail = spies.lastSubmittedId();
        api.loadGroupDetail(kGuid, {{"team_id", 7}});
        const quint64 newerDetail = spies.lastSubmittedId();
        const auto team = [](int paid) {
            return success({{"team", QVariantMap{{"team_id", 7}, {"paid_member_count", paid}}}});
        };
        emit wired.http.responseReady(newerDetail, QStringLiteral("group_detail"), true, 200, team(5),
                                      QString());
        emit wired.http.responseReady(olderDetail, QStringLiteral("group_detail"), true, 200, team(1),
                                      QString());
        QCOMPARE(spies.group.count(), 1);
        const QVariantMap shown = spies.group.constFirst().constFirst().toMap();
        QCOMPARE(shown.value("team").toMap().value("paid_member_count").toInt(), 5);
        QVERIFY(!api.busy());
    }

    void serverTimeAndEntrySignals()
    {
        FakeService service;
        Wired wired(service.baseUrl());
        RechargeApi &api = wired.api;
        Spies spies(api);
        const QString detailPath = QStringLiteral("/api/pintuan/order/detail");

        service.setReply(
            detailPath,
            success({{"server_time", 1700000100}, {"order", QVariantMap{{"order_id", 5}}}}, 1600000000));
        api.loadOrderDetail(kGuid, 5);
        QVERIFY(spies.next(spies.detail));
        QCOMPARE(spies.detail.constLast().at(1).toLongLong(), 1700000100LL);
        QCOMPARE(spies.detail.constLast().at(0).toMap().value("order_id").toInt(), 5);

        service.setReply(detailPath, success({{"server_time", 0}}, 1700000200));
        api.loadOrderDetail(kGuid, 5);
        QVERIFY(spies.next(spies.detail));
        QCOMPARE(spies.detail.constLast().at(1).toLongLong(), 1700000200LL);

        service.setReply(detailPath, success({}));
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        api.loadOrderDetail(kGuid, 5);
        QVERIFY(spies.next(spies.detail));
        QVERIFY(spies.detail.constLast().at(1).toLongLong() >= before);
        QVERIFY(spies.detail.constLast().at(1).toLongLong() <= QDateTime::currentSecsSinceEpoch());

        // One path, two signals: the unsigned request never reports the signed catalogue.
        const QString entryPath = QStringLiteral("/api/pintuan/purchase/entry");
        service.setReply(entryPath,
                         success({{"server_time", 0}, {"shared", QVariantMap{{"notice", "n"}}}}, 1700000300));
        api.loadPublicPurchaseEntry();
        QVERIFY(spies.next(spies.publicEntry));
        QCOMPARE(spies.publicEntry.constLast().at(1).toLongLong(), 1700000300LL);
        QCOMPARE(mapAt(spies.publicEntry.constLast().at(0).toMap(), "shared").value("notice"), QVariant("n"));
        api.loadPurchaseEntry(kGuid);
        QVERIFY(spies.next(spies.entry));
        QCOMPARE(spies.publicEntry.count(), 1);
    }

    void repliesAndFollowUps()
    {
        FakeService service;
        Wired wired(service.baseUrl());
        RechargeApi &api = wired.api;
        Spies spies(api);
        const QString ordersPath = QStringLiteral("/api/pintuan/orders");
        const QString groupPath = QStringLiteral("/api/pintuan/group/detail");

        // A cancellation answered without an order reports the id that was sent, then reloads the list.
        api.cancelOrder(kGuid, 26000042);
        QVERIFY(spies.next(spies.cancelled));
        QCOMPARE(spies.cancelled.constLast().at(0).toLongLong(), 26000042LL);
        QVERIFY(service.waitForRequests(2));
        QCOMPARE(service.requestsTo(ordersPath).size(), 1);

        // A looked-up leader team: the team's own fields replace the envelope's, the rest stays.
        const QVariantMap team{{"team_code", "INNER1"}, {"team_id", 55}, {"name", "团长团"}};
        service.setReply(groupPath,
                         success({{"team_code", "OUTER1"}, {"group_status", "forming"}, {"team", team}}));
        api.loadLeaderTeamDetail(kGuid, QStringLiteral("OUTER1"));
        QVERIFY(spies.next(spies.teamDetail));
        const QVariantMap merged = spies.teamDetail.constLast().at(0).toMap();
        QCOMPARE(merged.value("team_code"), QVariant("INNER1"));
        QCOMPARE(merged.value("team_id").toLongLong(), 55LL);
        QCOMPARE(merged.value("group_status"), QVariant("forming"));
        QCOMPARE(mapAt(merged, "team").value("team_code"), QVariant("INNER1"));
        QCOMPARE(spies.group.count(), 0);

        // The first paid group order is looked up: by order id when its team has neither id nor code.
        service.setReply(ordersPath, fixture(QStringLiteral("recharge_orders_paid_group.json")));
        service.requests.clear();
        api.loadOrders(kGuid);
        QVERIFY(spies.next(spies.orders));
        const QVariantList page = spies.orders.constLast();
        QCOMPARE(page.at(0).toList().size(), 5);
        QCOMPARE(page.mid(1), (QVariantList{1, 20, 0, false, 1700000500LL}));
        QVERIFY(QTest::qWaitFor([&] { return !service.requestsTo(groupPath).isEmpty(); }, 5000));
        QVERIFY(spies.reach(spies.group, 0));
        QCOMPARE(service.requestsTo(groupPath).constFirst().body,
                 (QJsonObject{{"guid", kGuid}, {"order_id", 26000077}}));

        // Replies that arrive after sign-out are dropped, with no follow-up; the public entry still counts.
        service.setReply(QStringLiteral("/api/pintuan/order/shared/create"),
                         success({{"order", QVariantMap{{"order_id", 31}}}}));
        const qsizetype created = spies.created.count();
        const qsizetype failed = spies.failed.count();
        api.createSharedOrder(kGuid, {{"product_id", 101}});
        api.loadOrders(kGuid);
        api.loadPublicPurchaseEntry();
        api.clearSession();
        service.requests.clear();
        QVERIFY(spies.next(spies.publicEntry));
        // Every reply delivered by the transport, the dropped ones included.
        QTRY_VERIFY_WITH_TIMEOUT(!wired.http.busy(), 10000);
        QCOMPARE(spies.created.count(), created);
        QCOMPARE(spies.failed.count(), failed);
        QCOMPARE(service.requestsTo(ordersPath).size(), 1);
    }

    void membershipPurchaseAgainstDevService()
    {
        HttpManager http;
        AuthApi auth;
        RechargeApi api;
        Spies spies(api);
        QVERIFY(signIn(http, auth, api));

        api.loadPublicPurchaseEntry();
        QVERIFY(spies.next(spies.publicEntry));
        const QVariantMap publicEntry = spies.publicEntry.constLast().at(0).toMap();
        QCOMPARE(mapAt(publicEntry, "shared").value("products").toList().size(), 5);
        QVERIFY(!publicEntry.contains("membership"));
        api.loadEntry(kGuid);
        QVERIFY(spies.next(spies.entry));
        QCOMPARE(mapAt(spies.entry.constLast().at(0).toMap(), "user").value("user_id").toLongLong(), kGuid);
        QCOMPARE(spies.publicEntry.count(), 1);

        // The seeded history pages past 20; its first page holds a paid group order, looked up at once.
        api.loadOrders(kGuid, 1, 20);
        QVERIFY(spies.next(spies.orders));
        const int total = spies.orders.constLast().at(3).toInt();
        QVERIFY(total > 20);
        QCOMPARE(spies.orders.constLast().at(0).toList().size(), 20);
        QVERIFY(spies.orders.constLast().at(4).toBool());
        QVERIFY(spies.next(spies.group));
        QCOMPARE(spies.group.constLast().at(0).toMap().value("team_type"), QVariant("normal"));
        api.loadOrders(kGuid, 2, 20);
        QVERIFY(spies.next(spies.orders));
        QCOMPARE(spies.orders.constLast().at(0).toList().size(), total - 20);
        QVERIFY(!spies.orders.constLast().at(4).toBool());

        // The service refuses a stray guid, so this also shows what the selection turns into.
        qsizetype pages = spies.orders.count();
        api.createSharedOrder(kGuid, {{"product_id", 102}, {"gateway", "alipay"}, {"guid", 1}});
        QVERIFY(spies.next(spies.created));
        QCOMPARE(spies.created.constLast().at(0), QVariant("shared"));
        const qint64 orderId = spies.created.constLast().at(1).toMap().value("order_id").toLongLong();
        QVERIFY(orderId > 0);
        QVERIFY(spies.reach(spies.orders, pages));
        QCOMPARE(firstOrder(spies).value("order_id").toLongLong(), orderId);

        api.createPcPayment(kGuid, orderId);
        QVERIFY(spies.next(spies.payment));
        const QString codeUrl = spies.payment.constLast().at(1).toString();
        QVERIFY2(codeUrl.startsWith(QStringLiteral("weixin://wxpay/bizpayurl?pr=")), qPrintable(codeUrl));

        // Still pending: nothing is reloaded.
        api.queryPayStatus(kGuid, orderId);
        const quint64 queryId = spies.lastSubmittedId();
        QVERIFY(spies.next(spies.payStatus));
        QCOMPARE(spies.payStatus.constLast().at(0).toMap().value("payment_status"), QVariant("pending"));
        QCOMPARE(spies.lastSubmittedId(), queryId);

        // Paid: the catalogue (with the membership) and the first order page are fetched again.
        QVERIFY(devPay(orderId));
        const qsizetype entries = spies.entry.count();
        pages = spies.orders.count();
        api.queryPayStatus(kGuid, orderId);
        QVERIFY(spies.next(spies.payStatus));
        QVERIFY(!mapAt(spies.payStatus.constLast().at(0).toMap(), "membership").isEmpty());
        QVERIFY(spies.reach(spies.entry, entries));
        QVERIFY(spies.reach(spies.orders, pages));
        QCOMPARE(firstOrder(spies).value("payment_status"), QVariant("paid"));
        api.createPcPayment(kGuid, orderId);
        QCOMPARE(spies.nextFailure(), QStringLiteral("pc_pay|订单已支付"));

        pages = spies.orders.count();
        api.createSharedOrder(kGuid, {{"product_id", 101}});
        QVERIFY(spies.next(spies.created));
        const qint64 cancelId = spies.created.constLast().at(1).toMap().value("order_id").toLongLong();
        QVERIFY(spies.reach(spies.orders, pages));
        pages = spies.orders.count();
        api.cancelOrder(kGuid, cancelId);
        QVERIFY(spies.next(spies.cancelled));
        QCOMPARE(spies.cancelled.constLast().at(0).toLongLong(), cancelId);
        QVERIFY(spies.reach(spies.orders, pages));
        // The reload the new order started may be the one that just arrived; the cancel's follows.
        QTRY_COMPARE(firstOrder(spies).value("payment_status"), QVariant("closed"));

        for (const QVariantList &line : std::as_const(spies.traces))
            QVERIFY2(!line.at(0).toString().contains(m_deviceSecret), qPrintable(line.at(0).toString()));
    }

    // The purchase in progress (PaymentOrder, the client's payment): the order it creates, the amount
    // check in fen, the countdown on a monotonic clock the test moves, the status poll and each way a
    // payment ends.
    void paymentEnds_data()
    {
        QTest::addColumn<End>("end");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("serviceStatus");
        QTest::newRow("amount a fen apart") << End::Mismatch << "订单金额不一致：所选 ¥"
                                            << "pending";
        QTest::newRow("paid, seen by the poll") << End::Paid << "支付成功，会员权益已更新"
                                                << "paid";
        QTest::newRow("time runs out") << End::Expired << "订单已过期，请重新下单"
                                       << "pending";
        QTest::newRow("cancelled") << End::Cancelled << "订单已取消"
                                   << "closed";
        QTest::newRow("signed out") << End::SignedOut << ""
                                    << "pending";
    }
    void paymentEnds()
    {
        QFETCH(End, end);
        QFETCH(QString, notice);
        QFETCH(QString, serviceStatus);
        HttpManager http;
        AuthApi auth;
        RechargeApi api;
        QVERIFY(signIn(http, auth, api));

        PaymentOrder *payment = api.payment();
        qint64 now = 1'000'000;
        payment->setClock([&now] { return now; });
        payment->setTickInterval(10);
        QSignalSpy notices(payment, &PaymentOrder::notice);
        QSignalSpy created(&api, &RechargeApi::orderCreated);
        QSignalSpy ready(&api, &RechargeApi::pcPaymentReady);
        QSignalSpy statuses(&api, &RechargeApi::payStatusUpdated);
        const qint64 price = catalogueFen(api, 102);
        QVERIFY(price > 0);

        payment->create(QStringLiteral("shared"), {{"product_id", 102}}, QStringLiteral("月卡"),
                        end == End::Mismatch ? price - 1 : price);
        QVERIFY(payment->creating());
        QVERIFY(created.wait(10000));
        const qint64 orderId = created.constFirst().at(1).toMap().value("order_id").toLongLong();
        QVERIFY(orderId > 0);
        if (end == End::Mismatch) {
            QVERIFY(!payment->creating());
            QVERIFY(!notices.isEmpty() && notices.constLast().at(1).toBool());
            QVERIFY2(notices.constLast().at(0).toString().startsWith(notice),
                     qPrintable(notices.constLast().at(0).toString()));
            QTest::qWait(200);
            QVERIFY(!payment->opened());
            QCOMPARE(ready.size(), 0);
        } else {
            QVERIFY(ready.wait(10000));
            QVERIFY(payment->opened() && !payment->creating());
            QCOMPARE(payment->orderId(), orderId);
            QCOMPARE(payment->amountFen(), price);
            QVERIFY(payment->codeUrl().startsWith(QStringLiteral("weixin://")));
            const QVariantList shown = ready.constFirst();
            const qint64 left =
                shown.at(0).toMap().value("expire_at").toLongLong() - shown.at(2).toLongLong();
            QVERIFY(left > 60);
            QCOMPARE(payment->remainingSeconds(), left);

            // The poll asks every three seconds of the clock, not in between (nor while the client waits
            // for the order list and the group it reloads after an order).
            QTRY_VERIFY_WITH_TIMEOUT(!api.busy(), 5000);
            now += 2000;
            QTest::qWait(50);
            QCOMPARE(statuses.size(), 0);
            now += 1000;
            QVERIFY(statuses.wait(5000));
            QVERIFY(payment->opened());

            switch (end) {
            case End::Paid:
                QVERIFY(devPay(orderId));
                now += 3000;
                break;
            case End::Expired:
                now += left * 1000;
                break;
            case End::Cancelled:
                payment->cancel();
                break;
            default:
                api.clearSession();
                break;
            }
            QTRY_VERIFY_WITH_TIMEOUT(!payment->opened(), 5000);
            if (notice.isEmpty()) {
                // Nothing of the ended session is left to show or to poll.
                QCOMPARE(payment->orderId(), 0);
                QCOMPARE(payment->codeUrl(), QString());
                const qsizetype polls = statuses.size();
                now += 6000;
                QTest::qWait(100);
                QCOMPARE(statuses.size(), polls);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!notices.isEmpty() && notices.constLast().at(0).toString() == notice,
                                         5000);
            }
        }

        // What the service holds for the order (the session back after a sign-out).
        api.setSession(kGuid, m_deviceSecret, auth.deviceId());
        QSignalSpy detail(&api, &RechargeApi::orderDetailLoaded);
        api.loadOrderDetail(kGuid, orderId);
        QVERIFY(detail.wait(10000));
        QCOMPARE(detail.constFirst().at(0).toMap().value("payment_status").toString(), serviceStatus);
    }
    void teamLeaderAgainstDevService()
    {
        HttpManager http;
        AuthApi auth;
        RechargeApi api;
        Spies spies(api);
        QVERIFY(signIn(http, auth, api));

        api.loadLeaderEntry(kGuid);
        QVERIFY(spies.next(spies.leaderEntry));
        const QVariantMap leaderEntry = spies.leaderEntry.constLast().at(0).toMap();
        QVERIFY(leaderEntry.value("is_leader").toBool());
        const QVariant productId = mapAt(mapAt(leaderEntry, "price_map"), "1_guofu_5").value("product_id");
        api.loadLeaderTeams(kGuid);
        QVERIFY(spies.next(spies.teams));
        const int teamCount = spies.teams.constLast().at(3).toInt();
        QVERIFY(teamCount >= 3);

        // A new team, then the leader's list again with it on top.
        const qsizetype lists = spies.teams.count();
        api.createLeaderTeam(
            kGuid, {{"product_id", productId}, {"node_type_id", 1}, {"country_id", 1}, {"member_count", 5}});
        QVERIFY(spies.next(spies.teamCreated));
        const QString code = spies.teamCreated.constLast().at(0).toMap().value("team_code").toString();
        QCOMPARE(code.size(), qsizetype(6));
        QVERIFY(spies.reach(spies.teams, lists));
        QCOMPARE(spies.teams.constLast().at(3).toInt(), teamCount + 1);
        QCOMPARE(spies.teams.constLast().at(0).toList().constFirst().toMap().value("team_code").toString(),
                 code);

        // Looked up by the code as another user would type it.
        api.loadLeaderTeamDetail(kGuid, QStringLiteral(" ") + code.toLower());
        QVERIFY(spies.next(spies.teamDetail));
        const QVariantMap team = spies.teamDetail.constLast().at(0).toMap();
        QCOMPARE(team.value("team_code").toString(), code);
        const QVariantList games = team.value("available_games").toList();
        QVERIFY(!games.isEmpty());

        // A seat bought with the team's join payload.
        QVariantMap payload = team.value("join_payload").toMap();
        payload.insert("team_code", code);
        payload.insert("package_name", games.constFirst().toMap().value("package_name"));
        const qsizetype pages = spies.orders.count();
        api.createLeaderJoinOrder(kGuid, payload);
        QVERIFY(spies.next(spies.created));
        QCOMPARE(spies.created.constLast().at(0), QVariant("leader_join"));
        QCOMPARE(spies.created.constLast().at(1).toMap().value("team_code").toString(), code);
        QVERIFY(spies.reach(spies.orders, pages));
    }
};

QTEST_GUILESS_MAIN(TestRechargeApi)
#include "tst_rechargeapi.moc"
