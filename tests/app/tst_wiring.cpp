// The start-up connections between the clients and the state store, end to end against the dev service.
#include "devserviceprocess.h"
#include "wiredbackend.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

class TestWiring : public QObject
{
    Q_OBJECT

private:
    using App = WiredBackend;

    std::unique_ptr<DevServiceProcess> m_service;

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

    void startupRequestsFillTheStore()
    {
        App app(m_service->baseUrl());
        QSignalSpy prepared(&app.data, &GlobalData::preparedPurchaseDataChanged);
        nimbra::issueStartupRequests(app.backend);
        QTRY_VERIFY_WITH_TIMEOUT(app.data.commonGamesLoaded() && app.data.gamePageLoaded(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!app.data.purchaseEntry().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!app.http->busy(), 10000);
        QVERIFY(!app.data.loggedIn());
        QVERIFY(!app.data.preparedPurchaseData().value(QStringLiteral("shared")).toMap().isEmpty());
        QVERIFY(prepared.count() >= 1);
        // Cached for the next signed-out start.
        QVERIFY(!QSettings().value(QStringLiteral("data/public_purchase_entry")).toMap().isEmpty());
        GlobalData restarted;
        QCOMPARE(restarted.purchaseEntry(), app.data.purchaseEntry());
    }

    void signInHandsOverBeforeTheStoreKnows()
    {
        App app(m_service->baseUrl());
        // A signed request issued from the account handler must already be signed.
        QSignalSpy answers(app.http.get(), &HttpManager::responseReady);
        quint64 echoId = 0;
        connect(&app.data, &GlobalData::accountChanged, this, [&app, &echoId] {
            if (app.data.loggedIn() && echoId == 0)
                echoId = app.http->postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"), "{}",
                                            app.data.userId(), true, false);
        });
        app.auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        QTRY_VERIFY_WITH_TIMEOUT(echoId != 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(answers.cbegin(), answers.cend(),
                                             [echoId](const QVariantList &answer) {
                                                 return answer.at(0).toULongLong() == echoId;
                                             }),
                                 10000);
        for (const QVariantList &answer : std::as_const(answers)) {
            if (answer.at(0).toULongLong() == echoId)
                QVERIFY2(answer.at(2).toBool(), qPrintable(answer.at(5).toString()));
        }

        // The sign-in asks for the signed catalogue, the orders and the leader entry; a leader's teams
        // follow.
        QTRY_VERIFY_WITH_TIMEOUT(!app.data.orders().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(app.data.leaderEntry().value(QStringLiteral("is_leader")).toBool(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!app.data.leaderTeams().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!app.http->busy(), 10000);
        QVERIFY(app.data.membership().value(QStringLiteral("is_vip")).toBool());

        // Routes need the session the hand-over gave the route client.
        QSignalSpy routes(app.accelerator.get(), &AcceleratorApi::routesLoaded);
        const QVariantMap jx3{{"id", "jx3"},
                              {"package_name", "com.kingsoft.jx3"},
                              {"packageName", "com.kingsoft.jx3"},
                              {"country", "国服"}};
        app.accelerator->loadRoutes(app.data.userId(), jx3);
        QVERIFY(routes.wait(10000));

        // Sign-out: the route client loses its session; the cached catalogue comes back without the
        // previous user's membership.
        QSignalSpy failed(app.accelerator.get(), &AcceleratorApi::requestFailed);
        const qint64 guid = app.data.userId();
        app.auth->clearSession();
        app.recharge->clearSession();
        app.data.clearSessionData();
        QCOMPARE(app.data.membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QVERIFY(!app.data.purchaseEntry().isEmpty());
        app.accelerator->loadRoutes(guid, jx3);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!app.accelerator->busy());
    }

    void signOutDropsLateAnswersAndSignsInAgain()
    {
        App app(m_service->baseUrl());
        const auto signIn = [&app] {
            app.auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
            return QTest::qWaitFor([&app] { return app.data.loggedIn() && !app.http->busy(); }, 10000);
        };
        const auto signOut = [&app] {
            app.auth->clearSession();
            app.recharge->clearSession();
            app.data.clearSessionData();
        };
        QVERIFY(signIn());
        const qint64 guid = app.data.userId();
        const QVariantMap jx3{{"id", "jx3"}, {"package_name", "com.kingsoft.jx3"}};

        // Everything below is answered only after the sign-out of the same turn.
        QSignalSpy authenticated(app.auth.get(), &AuthApi::authenticated);
        QSignalSpy routes(app.accelerator.get(), &AcceleratorApi::routesLoaded);
        QSignalSpy routeFailures(app.accelerator.get(), &AcceleratorApi::requestFailed);
        QSignalSpy purchaseFailures(app.recharge.get(), &RechargeApi::requestFailed);
        QSignalSpy publicEntry(app.recharge.get(), &RechargeApi::publicPurchaseEntryLoaded);
        app.accelerator->loadRoutes(guid, jx3);
        app.recharge->loadOrders(guid, 1, 20);
        app.recharge->loadLeaderEntry(guid);
        app.recharge->queryPayStatus(guid, 1);
        app.recharge->loadPublicPurchaseEntry();
        app.auth->refreshToken();
        app.auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        signOut();
        QTRY_VERIFY_WITH_TIMEOUT(!app.http->busy(), 10000);
        QVERIFY(!app.recharge->busy());
        QVERIFY(!app.accelerator->busy());

        QCOMPARE(authenticated.count(), 0);
        QVERIFY(!app.data.loggedIn());
        QVERIFY(!QSettings().contains(QStringLiteral("auth/token")));
        QVERIFY(!QSettings().contains(QStringLiteral("auth/device_secret")));
        QVERIFY(app.data.orders().isEmpty());
        QVERIFY(app.data.leaderEntry().isEmpty());
        QCOMPARE(app.data.membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QCOMPARE(routes.count(), 0);
        QVERIFY(app.accelerator->routes().isEmpty());
        QCOMPARE(routeFailures.count() + purchaseFailures.count(), 0);
        // The public catalogue does not belong to a session.
        QCOMPARE(publicEntry.count(), 1);

        // The device id outlives the session: signing in again in the same run works.
        QSignalSpy authFailures(app.auth.get(), &AuthApi::requestFailed);
        QVERIFY2(signIn(),
                 qPrintable(authFailures.isEmpty() ? QString() : authFailures.constLast().at(1).toString()));
        QCOMPARE(app.data.userId(), guid);
        app.accelerator->loadRoutes(guid, jx3);
        QVERIFY(routes.wait(10000));
        QVERIFY(!app.accelerator->routes().isEmpty());
    }

    void purchaseSignalsLandInTheStore()
    {
        App app(m_service->baseUrl());
        QSignalSpy membership(&app.data, &GlobalData::membershipChanged);
        emit app.recharge->payStatusUpdated({{"payment_status", "paid"}}, 0);
        QCOMPARE(membership.count(), 0);
        emit app.recharge->payStatusUpdated({{"membership", QVariantMap{{"vip_type", "private"}}}}, 0);
        QCOMPARE(app.data.membership().value(QStringLiteral("vip_type")),
                 QVariant(QStringLiteral("private")));

        // Signed out, or no leader flag: the entry is stored and no team list is asked for.
        emit app.recharge->leaderEntryLoaded({{"is_leader", true}}, 0);
        QCOMPARE(app.data.leaderEntry().value(QStringLiteral("is_leader")), QVariant(true));
        QVERIFY(!app.recharge->busy());

        emit app.recharge->leaderTeamDetailLoaded({{"team_code", "LOOKUP"}}, 0);
        emit app.recharge->leaderTeamCreated({{"team_code", "MINE"}}, 0);
        QCOMPARE(app.data.leaderTeamDetail().value(QStringLiteral("team_code")),
                 QVariant(QStringLiteral("MINE")));
        emit app.recharge->ordersLoaded({QVariantMap{{"order_id", 1}}}, 3, 20, 99, true, 0);
        QCOMPARE(app.data.orders().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWiring)
#include "tst_wiring.moc"
