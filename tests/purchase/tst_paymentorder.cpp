// The purchase in progress against the dev service: the order it creates, the amount check in fen, the
// countdown on a monotonic clock the test moves, the status poll and each way a payment ends.
#include "purchase/paymentorder.h"

#include "account/authapi.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"
#include "purchase/rechargeapi.h"

#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

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

class TestPaymentOrder : public QObject
{
    Q_OBJECT

    std::unique_ptr<DevServiceProcess> m_service;

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
        auth.setBaseUrl(m_service->baseUrl());
        api.setBaseUrl(m_service->baseUrl());
        auth.setHttpManager(&http);
        api.setHttpManager(&http);
        QSignalSpy authenticated(&auth, &AuthApi::authenticated);
        auth.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        QVERIFY(authenticated.wait(10000));
        const qint64 guid = authenticated.constFirst().at(2).toLongLong();
        const QString secret = authenticated.constFirst().at(3).toString();
        api.setSession(guid, secret, auth.deviceId());

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
                QCOMPARE(m_service->post(QStringLiteral("/__dev/pay"), {{"order_id", orderId}})
                             .value("code")
                             .toInt(),
                         1);
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
        api.setSession(guid, secret, auth.deviceId());
        QSignalSpy detail(&api, &RechargeApi::orderDetailLoaded);
        api.loadOrderDetail(guid, orderId);
        QVERIFY(detail.wait(10000));
        QCOMPARE(detail.constFirst().at(0).toMap().value("payment_status").toString(), serviceStatus);
    }
};

QTEST_GUILESS_MAIN(TestPaymentOrder)
#include "tst_paymentorder.moc"
