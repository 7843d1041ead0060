// The request pipeline over real loopback HTTP against the dev service.
#include "devserviceprocess.h"
#include "frontproxy.h"
#include "net/httpmanager.h"
#include "net/requestenvelope.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

struct Result
{
    QString operation;
    bool success = false;
    int status = -1;
    QVariantMap response;
    QString message;
};

// Records every answer of one pipeline by request id, in arrival order.
class Results : public QObject
{
public:
    explicit Results(HttpManager &manager)
    {
        connect(&manager, &HttpManager::responseReady, this,
                [this](quint64 id, const QString &operation, bool success, int status,
                       const QVariantMap &response, const QString &message) {
                    byId.insert(id, {operation, success, status, response, message});
                    order.append(id);
                });
    }

    Result waitFor(quint64 id, int timeoutMs = 15000)
    {
        // A missing answer shows up as status -1 and a "<no answer>" message in the caller's checks.
        if (!QTest::qWaitFor([&] { return byId.contains(id); }, timeoutMs))
            qWarning("no answer to request #%llu", static_cast<unsigned long long>(id));
        return byId.value(id, Result{QString(), false, -1, {}, QStringLiteral("<no answer>")});
    }

    QHash<quint64, Result> byId;
    QList<quint64> order;
};

QByteArray json(const QVariantMap &map)
{
    return QJsonDocument::fromVariant(map).toJson(QJsonDocument::Compact);
}

// Registers a signing session at the service and gives it to the pipeline; the first request of a
// pipeline, so its connection is the one kept alive for the next.
bool startSession(HttpManager &manager, Results &results, const nimbra::net::SessionTriple &session)
{
    manager.setSession(session.guid, session.deviceSecret, session.deviceId);
    return results
        .waitFor(manager.postJson(QStringLiteral("session"), QStringLiteral("/__test/session"),
                                  json({{QStringLiteral("guid"), session.guid},
                                        {QStringLiteral("device_secret"), session.deviceSecret},
                                        {QStringLiteral("device_id"), session.deviceId}})))
        .success;
}

QStringList g_captured;
QMutex g_capturedMutex;

void capturingHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    QMutexLocker locker(&g_capturedMutex);
    g_captured.append(message);
}

constexpr qint64 kReplyBound = 8 * 1024 * 1024;

// A loopback server that answers badly on purpose, by path: "/drip" sends a byte every 100 ms and never
// ends, "/declared" announces a body over the bound and then stalls, "/endless" streams a chunked body
// without end, "/at-bound" sends a valid reply of exactly the bound.
class MisbehavingServer : public QObject
{
public:
    MisbehavingServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    qint64 endlessBytesSent = 0;

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const QByteArray path = request.split(' ').value(1);
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
        auto *timer = new QTimer(socket);
        if (path == "/drip") {
            socket->write(head + "Content-Length: 1000000\r\n\r\n");
            connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
            timer->start(100);
        } else if (path == "/declared") {
            socket->write(head + "Content-Length: " + QByteArray::number(kReplyBound + 1) + "\r\n\r\n{");
        } else if (path == "/endless") {
            socket->write(head + "Transfer-Encoding: chunked\r\n\r\n");
            const QByteArray chunk =
                QByteArray::number(64 * 1024, 16) + "\r\n" + QByteArray(64 * 1024, ' ') + "\r\n";
            connect(timer, &QTimer::timeout, socket, [this, socket, chunk] {
                if (socket->bytesToWrite() < 1024 * 1024) {
                    socket->write(chunk);
                    endlessBytesSent += chunk.size();
                }
            });
            timer->start(0);
        } else {
            const QByteArray prefix = "{\"code\":1,\"pad\":\"";
            const QByteArray body = prefix + QByteArray(kReplyBound - prefix.size() - 2, 'x') + "\"}";
            socket->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

const QString kNetworkError = QStringLiteral("网络请求失败，请检查网络连接后重试");
const QString kFormatError = QStringLiteral("服务器返回数据格式错误");
const QString kInvalidToken = QStringLiteral("登录状态已失效，请重新登录");

} // namespace

class TestHttpManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY2(m_service->isRunning(), "dev service did not start");
    }
    void cleanupTestCase() { m_service.reset(); }

    void idsBusyAndOutOfOrderAnswers()
    {
        HttpManager manager(QStringLiteral("  ") + m_service->baseUrl() + QStringLiteral("// "));
        QCOMPARE(manager.baseUrl(), m_service->baseUrl());

        Results results(manager);
        QSignalSpy busySpy(&manager, &HttpManager::busyChanged);
        QVERIFY(!manager.busy());
        const quint64 slow = manager.postJson(QStringLiteral("slow"), QStringLiteral("__test/slow"),
                                              json({{QStringLiteral("ms"), 600}}));
        QCOMPARE(slow, 1u);
        QVERIFY(manager.busy());
        QCOMPARE(busySpy.count(), 1);
        const quint64 fast = manager.postJson(QStringLiteral("fast"), QStringLiteral("/__test/ok"),
                                              json({{QStringLiteral("tag"), QStringLiteral("fast")}}));
        const quint64 failing =
            manager.postJson(QStringLiteral("fail"), QStringLiteral("/__test/http500"), "{}");
        QCOMPARE(fast, 2u);
        QCOMPARE(failing, 3u);
        QCOMPARE(busySpy.count(), 1);

        QCOMPARE(
            results.waitFor(fast).response.value(QStringLiteral("data")).toMap().value(QStringLiteral("tag")),
            QVariant(QStringLiteral("fast")));
        QVERIFY(manager.busy());
        const Result slowResult = results.waitFor(slow);
        QVERIFY(slowResult.success);
        QCOMPARE(slowResult.operation, QStringLiteral("slow"));
        QCOMPARE(
            slowResult.response.value(QStringLiteral("data")).toMap().value(QStringLiteral("ms")).toInt(),
            600);
        results.waitFor(failing);
        QCOMPARE(results.order.constLast(), slow);
        QVERIFY(!manager.busy());
        QCOMPARE(busySpy.count(), 2);

        // Ids keep counting, whatever the results were.
        QCOMPARE(manager.postJson(QStringLiteral("next"), QStringLiteral("/__test/ok"), "{}"), 4u);
        results.waitFor(4);
        QCOMPARE(busySpy.count(), 4);
    }

    void everyFailureHasItsMessage()
    {
        HttpManager manager;
        manager.setBaseUrl(m_service->baseUrl());
        Results results(manager);
        struct Row
        {
            QString path;
            QByteArray body;
            bool success;
            int status;
            QString message;
            bool emptyResponse;
        };
        const QList<Row> rows = {
            {QStringLiteral("/__test/ok"), json({{QStringLiteral("x"), 1}}), true, 200, QString(), false},
            {QStringLiteral("/__test/http500"), "{}", false, 500, kNetworkError, true},
            {QStringLiteral("/__test/http404"), "{}", false, 404, kNetworkError, true},
            {QStringLiteral("/no/such/path"), "{}", false, 404, kNetworkError, true},
            {QStringLiteral("/__test/array"), "{}", false, 200, kFormatError, true},
            {QStringLiteral("/__test/notjson"), "{}", false, 200, kFormatError, true},
            {QStringLiteral("/__test/code-string"), "{}", false, 200, QStringLiteral("请求失败"), false},
            {QStringLiteral("/__test/fail"),
             json({{QStringLiteral("msg"), QStringLiteral("  Invalid TOKEN ")}}), false, 200, kInvalidToken,
             false},
            {QStringLiteral("/__test/fail"),
             json({{QStringLiteral("msg"), QStringLiteral("phone already registered")}}), false, 200,
             QStringLiteral("手机号已注册"), false},
            {QStringLiteral("/__test/fail"),
             json({{QStringLiteral("msg"), QStringLiteral(" Quota Exceeded ")}}), false, 200,
             QStringLiteral("Quota Exceeded"), false},
            {QStringLiteral("/__test/fail"), json({{QStringLiteral("msg"), QStringLiteral("   ")}}), false,
             200, QStringLiteral("请求失败"), false},
            {QStringLiteral("/__test/fail"), "{}", false, 200, QStringLiteral("请求失败"), false},
        };
        QList<quint64> ids;
        for (const Row &row : rows)
            ids.append(manager.postJson(QStringLiteral("row"), row.path, row.body));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Row &row = rows.at(i);
            const Result result = results.waitFor(ids.at(i));
            const QByteArray where = row.path.toUtf8() + ' ' + row.body;
            QVERIFY2(result.success == row.success, where.constData());
            QVERIFY2(result.status == row.status, where.constData());
            QVERIFY2(result.message == row.message,
                     qPrintable(result.message + QStringLiteral(" @ ") + row.path));
            QVERIFY2(result.response.isEmpty() == row.emptyResponse, where.constData());
        }
        QCOMPARE(results.byId.value(ids.at(0))
                     .response.value(QStringLiteral("data"))
                     .toMap()
                     .value(QStringLiteral("x")),
                 QVariant(1));
        QCOMPARE(results.byId.value(ids.at(6)).response.value(QStringLiteral("code")),
                 QVariant(QStringLiteral("1")));

        // Nobody listening on the port: no HTTP status at all.
        HttpManager refused;
        refused.setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        Results refusedResults(refused);
        const Result none =
            refusedResults.waitFor(refused.postJson(QStringLiteral("x"), QStringLiteral("/"), "{}"));
        QCOMPARE(none.status, 0);
        QCOMPARE(none.message, kNetworkError);
        QVERIFY(!refused.busy());
    }

    void unansweredRequestsEnd()
    {
        HttpManager manager;
        manager.setBaseUrl(m_service->baseUrl());
        manager.setTransferTimeout(700);
        Results results(manager);
        // One that never answers within the time-out, one whose connection is closed without a reply.
        const quint64 silent = manager.postJson(QStringLiteral("hang"), QStringLiteral("/__test/hang"),
                                                json({{QStringLiteral("ms"), 20000}}));
        const quint64 closed = manager.postJson(QStringLiteral("closed"), QStringLiteral("/__test/hang"),
                                                json({{QStringLiteral("ms"), 100}}));
        for (const quint64 id : {silent, closed}) {
            const Result result = results.waitFor(id, 10000);
            QVERIFY(!result.success);
            QCOMPARE(result.message, kNetworkError);
            QVERIFY(result.response.isEmpty());
        }
        QVERIFY(!manager.busy());
    }

    // The service got the request, but the connection closed before its answer: it is not sent again,
    // and the caller gets the network error.
    void lostAnswersAreNotResent_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QVariantMap>("body");
        QTest::addColumn<bool>("signedRequest");
        QTest::newRow("unsigned sign-in")
            << QStringLiteral("/passport/sms/login")
            << QVariantMap{{QStringLiteral("phone"), QStringLiteral("13800138000")},
                           {QStringLiteral("password"), QStringLiteral("nimbra123")},
                           {QStringLiteral("remember_me"), false}}
            << false;
        QTest::newRow("signed") << QStringLiteral("/__test/echo") << QVariantMap{{QStringLiteral("n"), 1}}
                                << true;
    }
    void lostAnswersAreNotResent()
    {
        QFETCH(QString, path);
        QFETCH(QVariantMap, body);
        QFETCH(bool, signedRequest);
        FrontProxy front(m_service->port());
        HttpManager manager;
        manager.setBaseUrl(front.baseUrl());
        Results results(manager);
        QVERIFY(
            startSession(manager, results, {5, QStringLiteral("lost-secret"), QStringLiteral("dev-lost")}));

        front.plan(path.toUtf8(), {FrontProxy::Answer::Drop});
        const Result lost = results.waitFor(
            manager.postJson(QStringLiteral("lost"), path, json(body), 5, signedRequest, !signedRequest));
        QCOMPARE(lost.message, kNetworkError);
        QCOMPARE(front.requests(path.toUtf8()), 1);
        // The connection is gone, not the pipeline.
        QVERIFY(results
                    .waitFor(manager.postJson(QStringLiteral("again"), path, json(body), 5, signedRequest,
                                              !signedRequest))
                    .success);
    }

    // The service's clock an hour away from this computer's: signed requests carry the service's time
    // once an answer has told it, and the refusal that tells it says the clock is wrong.
    void wrongClock_data()
    {
        QTest::addColumn<int>("serviceAhead");
        QTest::addColumn<bool>("catalogueFirst");
        QTest::addColumn<QString>("firstRefusal");
        QTest::newRow("computer behind")
            << 3600 << false
            << QStringLiteral("电脑时间不准确：比服务器慢约 60 分钟，已按服务器时间校正，请重试");
        QTest::newRow("computer ahead")
            << -3600 << false
            << QStringLiteral("电脑时间不准确：比服务器快约 60 分钟，已按服务器时间校正，请重试");
        QTest::newRow("time from the public catalogue") << 3600 << true << QString();
    }
    void wrongClock()
    {
        QFETCH(int, serviceAhead);
        QFETCH(bool, catalogueFirst);
        QFETCH(QString, firstRefusal);
        DevServiceProcess service({QStringLiteral("--clock-offset"), QString::number(serviceAhead)});
        QVERIFY(service.isRunning());
        HttpManager manager;
        manager.setBaseUrl(service.baseUrl());
        QStringList traces;
        connect(&manager, &HttpManager::trace, this, [&traces](const QString &line) { traces.append(line); });
        Results results(manager);
        QVERIFY(
            startSession(manager, results, {8, QStringLiteral("clock-secret"), QStringLiteral("dev-clock")}));
        if (catalogueFirst) {
            QVERIFY(results
                        .waitFor(manager.postJson(QStringLiteral("purchase_entry"),
                                                  QStringLiteral("/api/pintuan/purchase/entry"), "{}"))
                        .success);
        }

        const auto echo = [&] {
            return results.waitFor(manager.postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"),
                                                    "{}", 8, true, false));
        };
        const Result first = echo();
        QCOMPARE(first.success, firstRefusal.isEmpty());
        QCOMPARE(first.message, firstRefusal);
        QVERIFY(echo().success);
        QVERIFY(traces.filter(QStringLiteral("签名已按服务器时间校正")).size() == 1);
    }

    void misbehavingRepliesAreBounded()
    {
        MisbehavingServer server;
        HttpManager manager;
        manager.setBaseUrl(server.baseUrl());
        manager.setRequestTimeout(3000);
        Results results(manager);
        const quint64 drip = manager.postJson(QStringLiteral("drip"), QStringLiteral("/drip"), "{}");
        const quint64 declared =
            manager.postJson(QStringLiteral("declared"), QStringLiteral("/declared"), "{}");
        const quint64 endless = manager.postJson(QStringLiteral("endless"), QStringLiteral("/endless"), "{}");
        const quint64 atBound =
            manager.postJson(QStringLiteral("at-bound"), QStringLiteral("/at-bound"), "{}");

        // The oversized ones end with the format error, not through the overall limit (a network error).
        for (const quint64 id : {declared, endless}) {
            const Result result = results.waitFor(id);
            QCOMPARE(result.message, kFormatError);
            QVERIFY(result.response.isEmpty());
        }
        // Cut off near the bound, not after reading everything the server would send.
        QVERIFY(server.endlessBytesSent < 4 * kReplyBound);
        QVERIFY(results.waitFor(atBound).success);
        // Data keeps coming, so the inactivity limit never fires: only the overall limit ends it.
        const Result dripped = results.waitFor(drip, 15000);
        QCOMPARE(dripped.message, kNetworkError);
        QCOMPARE(dripped.status, 200);
        QVERIFY(!manager.busy());
    }

    void signedRequestsAgainstIndependentVerifier()
    {
        const qint64 guid = Q_INT64_C(4200000000123);
        const QString secret = QStringLiteral("Sekr1t-Ωmega-7f3a");
        const QString deviceId = QStringLiteral("device-0042");

        QList<QString> traces;
        g_captured.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capturingHandler);

        DevServiceProcess prefixed({QStringLiteral("--path-prefix"), QStringLiteral("/api")});
        QVERIFY(prefixed.isRunning());
        for (const QString &base : {m_service->baseUrl(), prefixed.baseUrl() + QStringLiteral("/api/")}) {
            HttpManager manager;
            manager.setBaseUrl(base);
            connect(&manager, &HttpManager::trace, this,
                    [&traces](const QString &line) { traces.append(line); });
            Results results(manager);
            const QVariantMap session{{QStringLiteral("guid"), guid},
                                      {QStringLiteral("device_secret"), secret},
                                      {QStringLiteral("device_id"), deviceId}};
            QVERIFY(results
                        .waitFor(manager.postJson(QStringLiteral("session"),
                                                  QStringLiteral("/__test/session"), json(session)))
                        .success);

            // The worker trims what it is given.
            manager.setSession(guid, QStringLiteral("  ") + secret + QStringLiteral("\n"), deviceId);
            QCOMPARE(manager.guid(), guid);
            const QByteArray body = json({{QStringLiteral("game"), QStringLiteral("剑网3")}});
            const Result echoed = results.waitFor(manager.postJson(
                QStringLiteral("echo"), QStringLiteral("__test/echo"), body, guid, true, false));
            QVERIFY2(echoed.success, qPrintable(echoed.message));
            const QVariantMap data = echoed.response.value(QStringLiteral("data")).toMap();
            QCOMPARE(data.value(QStringLiteral("guid")).toLongLong(), guid);
            QCOMPARE(data.value(QStringLiteral("device_id")).toString(), deviceId);
            QCOMPARE(data.value(QStringLiteral("body")).toMap().value(QStringLiteral("game")),
                     QVariant(QStringLiteral("剑网3")));

            // Another user's guid on this session, a wrong secret, no session: refused.
            Result refused = results.waitFor(manager.postJson(
                QStringLiteral("echo"), QStringLiteral("/__test/echo"), body, guid + 1, true, false));
            QCOMPARE(refused.message, kInvalidToken);
            manager.setSession(guid, QStringLiteral("not-the-secret"), deviceId);
            refused = results.waitFor(manager.postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"),
                                                       body, guid, true, false));
            QCOMPARE(refused.message, kInvalidToken);
            manager.clearSession();
            QCOMPARE(manager.guid(), 0);
            refused = results.waitFor(manager.postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"),
                                                       body, guid, true, false));
            QCOMPARE(refused.message, kInvalidToken);
        }

        qInstallMessageHandler(previous);
        const QString everything = g_captured.join(QLatin1Char('\n')) + traces.join(QLatin1Char('\n'));
        QVERIFY(everything.contains(QStringLiteral("secret=<set>")));
        QVERIFY(everything.contains(QStringLiteral("[HTTP worker] 会话已清除")));
        QVERIFY(everything.contains(QStringLiteral("[HTTP] 回调 #")));
        QVERIFY(!everything.contains(secret));
        QVERIFY(!everything.contains(QStringLiteral("not-the-secret")));
    }

    void tamperedAndReplayedRequestsRefused()
    {
        HttpManager manager;
        manager.setBaseUrl(m_service->baseUrl());
        Results results(manager);
        const nimbra::net::SessionTriple session{77, QStringLiteral("replay-secret"),
                                                 QStringLiteral("dev-77")};
        QVERIFY(results
                    .waitFor(manager.postJson(QStringLiteral("session"), QStringLiteral("/__test/session"),
                                              json({{QStringLiteral("guid"), 77},
                                                    {QStringLiteral("device_secret"), session.deviceSecret},
                                                    {QStringLiteral("device_id"), session.deviceId}})))
                    .success);

        QNetworkAccessManager network;
        const auto send = [&network](const QNetworkRequest &request, const QByteArray &body) {
            QNetworkReply *reply = network.post(request, body);
            QSignalSpy finished(reply, &QNetworkReply::finished);
            finished.wait(10000);
            const QVariantMap map = QJsonDocument::fromJson(reply->readAll()).toVariant().toMap();
            reply->deleteLater();
            return map;
        };
        const QByteArray body = json({{QStringLiteral("n"), 1}});
        const QNetworkRequest request = nimbra::net::buildRequest(
            m_service->baseUrl(), QStringLiteral("/__test/echo"), body, 77, {true, false}, session,
            [] { return QDateTime::currentSecsSinceEpoch(); }, &nimbra::net::randomNonce);

        QCOMPARE(send(request, json({{QStringLiteral("n"), 2}})).value(QStringLiteral("msg")),
                 QVariant(QStringLiteral("invalid token")));
        QCOMPARE(send(request, body).value(QStringLiteral("code")), QVariant(1));
        QCOMPARE(send(request, body).value(QStringLiteral("msg")), QVariant(QStringLiteral("invalid token")));

        const QNetworkRequest stale = nimbra::net::buildRequest(
            m_service->baseUrl(), QStringLiteral("/__test/echo"), body, 77, {true, false}, session,
            [] { return QDateTime::currentSecsSinceEpoch() - 3600; }, &nimbra::net::randomNonce);
        QCOMPARE(send(stale, body).value(QStringLiteral("msg")), QVariant(QStringLiteral("invalid token")));
    }

private:
    std::unique_ptr<DevServiceProcess> m_service;
};

QTEST_GUILESS_MAIN(TestHttpManager)
#include "tst_httpmanager.moc"
