// The account client end to end against the dev service's account endpoints.
#include "account/authapi.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"
#include "state/globaldata.h"
#include "testsettings.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray json(const QVariantMap &map)
{
    return QJsonDocument::fromVariant(map).toJson(QJsonDocument::Compact);
}

// A fresh, valid mainland mobile number per call, so runs never collide on rate limits.
QString freshPhone()
{
    static int counter = 0;
    return QStringLiteral("137%1").arg(QDateTime::currentSecsSinceEpoch() % 100000 * 100 + (++counter % 100),
                                       8, 10, QLatin1Char('0'));
}

struct Spies
{
    explicit Spies(AuthApi &api)
        : codeSent(&api, &AuthApi::codeSent)
        , authenticated(&api, &AuthApi::authenticated)
        , membership(&api, &AuthApi::membershipDataReady)
        , reset(&api, &AuthApi::passwordResetSucceeded)
        , failed(&api, &AuthApi::requestFailed)
    {}

    // Waits for the next signal of the given spy, reporting a failure signal instead when one comes.
    bool next(QSignalSpy &spy)
    {
        const qsizetype before = spy.count();
        const qsizetype failedBefore = failed.count();
        if (!QTest::qWaitFor([&] { return spy.count() > before || failed.count() > failedBefore; }, 10000))
            return false;
        if (spy.count() > before)
            return true;
        qWarning() << "request failed:" << failed.constLast();
        return false;
    }

    QString nextFailure()
    {
        const qsizetype before = failed.count();
        if (!QTest::qWaitFor([&] { return failed.count() > before; }, 10000))
            return QStringLiteral("<no failure>");
        return failed.constLast().at(0).toString() + QLatin1Char('|') + failed.constLast().at(1).toString();
    }

    QSignalSpy codeSent;
    QSignalSpy authenticated;
    QSignalSpy membership;
    QSignalSpy reset;
    QSignalSpy failed;
};

// An account client on a pipeline of its own to the service.
struct Account
{
    explicit Account(const QString &baseUrl)
        : spies(api)
    {
        api.setHttpManager(&http);
        http.setBaseUrl(baseUrl);
    }

    HttpManager http;
    AuthApi api;
    Spies spies;
};

} // namespace

class TestAuthApi : public QObject
{
    Q_OBJECT

private:
    // The SMS code the dev service last sent to a phone, read through its dev-only endpoint.
    QString latestCode(const QString &phone, QString *scene = nullptr)
    {
        HttpManager http;
        http.setBaseUrl(m_service->baseUrl());
        QSignalSpy answer(&http, &HttpManager::responseReady);
        http.postJson(QStringLiteral("dev"), QStringLiteral("/__dev/sms/latest"), json({{"phone", phone}}));
        if (!answer.wait(10000))
            return {};
        const QVariantMap data = answer.constFirst().at(4).toMap().value(QStringLiteral("data")).toMap();
        if (scene)
            *scene = data.value(QStringLiteral("scene")).toString();
        return data.value(QStringLiteral("code")).toString();
    }

    std::unique_ptr<DevServiceProcess> m_service;

private slots:
    void initTestCase()
    {
        // The application's identity as well: without an organisation Windows has no settings.
        useTestSettings();
        QSettings().clear();
        m_service = std::make_unique<DevServiceProcess>(
            QStringList{QStringLiteral("--sms-interval"), QStringLiteral("0")});
        QVERIFY(m_service->isRunning());
    }
    void cleanupTestCase()
    {
        m_service.reset();
        QSettings().clear();
    }

    void deviceIdIsMadeOnceAndKept()
    {
        QSettings settings;
        settings.remove(QStringLiteral("auth/device_id"));
        QString first;
        {
            AuthApi api;
            first = api.deviceId();
        }
        QVERIFY(QRegularExpression(
                    QStringLiteral("^nimbra-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"))
                    .match(first)
                    .hasMatch());
        QCOMPARE(settings.value(QStringLiteral("auth/device_id")).toString(), first);
        QCOMPARE(AuthApi().deviceId(), first);

        settings.setValue(QStringLiteral("auth/device_id"), QStringLiteral("legacy-id"));
        QCOMPARE(AuthApi().deviceId(), QStringLiteral("legacy-id"));
        settings.setValue(QStringLiteral("auth/device_id"), QString(129, QLatin1Char('x')));
        const QString replaced = AuthApi().deviceId();
        QVERIFY(replaced.startsWith(QStringLiteral("nimbra-")) && replaced.size() == 43);
        QCOMPARE(settings.value(QStringLiteral("auth/device_id")).toString(), replaced);
    }

    void withoutTransportNothingIsSent()
    {
        AuthApi api;
        Spies spies(api);
        api.sendCode(QStringLiteral("13800138000"), QStringLiteral("login"));
        api.loginPassword(QStringLiteral("13800138000"), QStringLiteral("x"));
        QCOMPARE(spies.failed.count(), 2);
        QCOMPARE(spies.failed.at(0), (QVariantList{"send_code", "网络管理器未初始化"}));
        QCOMPARE(spies.failed.at(1).at(0).toString(), QStringLiteral("login_password"));
    }

    void registerSignInResetRefresh()
    {
        HttpManager http;
        AuthApi api;
        api.setAutoLoginEnabled(true);
        api.setBaseUrl(m_service->baseUrl() + QStringLiteral("/"));
        api.setHttpManager(&http);
        QCOMPARE(http.baseUrl(), m_service->baseUrl());
        Spies spies(api);
        const QString phone = freshPhone();

        // Refusals arrive as their Chinese texts.
        api.sendCode(phone, QStringLiteral("login"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("send_code|手机号未注册"));

        api.sendCode(QStringLiteral(" ") + phone + QStringLiteral(" "), QStringLiteral("register"));
        QVERIFY(spies.next(spies.codeSent));
        QCOMPARE(spies.codeSent.constLast().at(0).toString(), QStringLiteral("register"));
        const QString registerCode = latestCode(phone);
        QCOMPARE(registerCode.size(), 6);

        api.registerAccount(phone, registerCode, QStringLiteral("secret1"), QStringLiteral("secret2"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("register|两次输入的密码不一致"));
        api.registerAccount(phone, registerCode, QStringLiteral("abc"), QStringLiteral("abc"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("register|密码至少需要 6 位"));
        api.registerAccount(phone, registerCode, QStringLiteral("secret1"), QStringLiteral("secret1"));
        QVERIFY(spies.next(spies.authenticated));
        const QVariantList registered = spies.authenticated.constLast();
        QCOMPARE(registered.at(0).toString(), QStringLiteral("register"));
        QCOMPARE(registered.at(1).toString(), phone);
        const int userId = registered.at(2).toInt();
        const QString secret = api.deviceSecret();
        QVERIFY(userId > 0);
        QVERIFY(!secret.isEmpty() && !QSettings().value(QStringLiteral("auth/token")).toString().isEmpty());
        // A new account comes with a few days of membership.
        QVERIFY(spies.membership.count() >= 1);
        QCOMPARE(spies.membership.constLast().at(0).toMap().value(QStringLiteral("is_vip")), QVariant(true));
        QCOMPARE(QSettings().value(QStringLiteral("auth/device_secret")).toString(), secret);
        QCOMPARE(QSettings().value(QStringLiteral("auth/phone")).toString(), phone);

        // The handed-out secret signs requests that the service accepts, for this device only.
        QSignalSpy answers(&http, &HttpManager::responseReady);
        http.setSession(userId, secret, api.deviceId());
        http.postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"), "{}", userId, true, false);
        QVERIFY(answers.wait(10000));
        QVERIFY2(answers.constLast().at(2).toBool(), qPrintable(answers.constLast().at(5).toString()));
        http.setSession(userId, secret, QStringLiteral("another-device"));
        http.postJson(QStringLiteral("echo"), QStringLiteral("/__test/echo"), "{}", userId, true, false);
        QVERIFY(answers.wait(10000));
        QCOMPARE(answers.constLast().at(5).toString(), QStringLiteral("登录状态已失效，请重新登录"));

        api.loginPassword(phone, QStringLiteral("wrong-password"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("login_password|手机号或密码错误"));
        api.loginPassword(phone, QStringLiteral("secret1"), true);
        QVERIFY(spies.next(spies.authenticated));
        QCOMPARE(spies.authenticated.constLast().at(0).toString(), QStringLiteral("login_password"));
        QCOMPARE(spies.authenticated.constLast().at(2).toInt(), userId);

        // A code asked for the reset scene through sendCode is a sign-in code.
        api.sendCode(phone, QStringLiteral("reset"));
        QVERIFY(spies.next(spies.codeSent));
        QCOMPARE(spies.codeSent.constLast().at(0).toString(), QStringLiteral("login"));
        QString scene;
        const QString loginCode = latestCode(phone, &scene);
        QCOMPARE(scene, QStringLiteral("login"));
        api.verifySms(phone, QStringLiteral("000000") == loginCode ? QStringLiteral("111111")
                                                                   : QStringLiteral("000000"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("login_sms|验证码错误、已过期或验证失败"));
        api.verifySms(phone, QStringLiteral(" ") + loginCode, true);
        QVERIFY(spies.next(spies.authenticated));
        QCOMPARE(spies.authenticated.constLast().at(0).toString(), QStringLiteral("login_sms"));

        api.sendResetCode(phone);
        QVERIFY(spies.next(spies.codeSent));
        QCOMPARE(spies.codeSent.constLast().at(0).toString(), QStringLiteral("reset"));
        api.resetPassword(phone, latestCode(phone), QStringLiteral("changed9"), QStringLiteral("changed9"));
        QVERIFY(spies.next(spies.reset));
        QCOMPARE(spies.reset.constLast().at(0).toString(), phone);
        api.loginPassword(phone, QStringLiteral("secret1"));
        QCOMPARE(spies.nextFailure(), QStringLiteral("login_password|手机号或密码错误"));
        api.loginPassword(phone, QStringLiteral("changed9"));
        QVERIFY(spies.next(spies.authenticated));

        // The silent sign-in of the next start: the stored token and phone.
        const QString storedToken = QSettings().value(QStringLiteral("auth/token")).toString();
        api.refreshToken();
        QVERIFY(spies.next(spies.authenticated));
        QCOMPARE(spies.authenticated.constLast().at(0).toString(), QStringLiteral("refresh"));
        QCOMPARE(spies.authenticated.constLast().at(1).toString(), phone);
        QCOMPARE(spies.authenticated.constLast().at(2).toInt(), userId);
        QCOMPARE(QSettings().value(QStringLiteral("auth/token")).toString(), storedToken);

        // A token the service does not know is refused and kept for a later try.
        QSettings().setValue(QStringLiteral("auth/token"), QStringLiteral("forged-token"));
        api.refreshToken();
        QCOMPARE(spies.nextFailure(), QStringLiteral("refresh|登录状态已失效，请重新登录"));
        QCOMPARE(QSettings().value(QStringLiteral("auth/token")).toString(), QStringLiteral("forged-token"));
    }

    void autoLoginOffKeepsNothing()
    {
        Account account(m_service->baseUrl());
        auto &[http, api, spies] = account;
        QSettings().setValue(QStringLiteral("auth/token"), QStringLiteral("t"));
        QSignalSpy changed(&api, &AuthApi::autoLoginEnabledChanged);
        api.setAutoLoginEnabled(false);
        api.setAutoLoginEnabled(false);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!QSettings().contains(QStringLiteral("auth/token")));
        QVERIFY(QSettings().contains(QStringLiteral("auth/device_id")));

        api.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        QVERIFY(spies.next(spies.authenticated));
        QVERIFY(spies.authenticated.constLast().at(2).toInt() > 0);
        QVERIFY(!api.deviceSecret().isEmpty());
        for (const char *key : {"auth/token", "auth/device_secret", "auth/phone"})
            QVERIFY2(!QSettings().contains(QLatin1String(key)), key);

        // Nothing stored and auto-login off: the refresh sends nothing.
        api.refreshToken();
        QVERIFY(!http.busy());
        api.setAutoLoginEnabled(true);
        api.refreshToken();
        QVERIFY(!http.busy());
    }

    // A new attempt gives up on the one before it, and a closed dialog on the one in flight: only the
    // answer the user waits for counts, whichever comes first.
    void onlyTheAwaitedSignInCounts()
    {
        Account account(m_service->baseUrl());
        auto &[http, api, spies] = account;
        api.loginPassword(QStringLiteral("13800138000"), QStringLiteral("wrong-one"));
        api.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        QTRY_VERIFY_WITH_TIMEOUT(!http.busy(), 10000);
        QCOMPARE(spies.failed.count(), 0);
        QCOMPARE(spies.authenticated.count(), 1);

        api.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        api.abandonSignIn();
        QTRY_VERIFY_WITH_TIMEOUT(!http.busy(), 10000);
        QCOMPARE(spies.authenticated.count(), 1);
    }

    void refreshAnswersWithoutTokenOrSecret()
    {
        // The transport answers whatever id it is given; these answers are crafted to lack fields.
        HttpManager http;
        http.setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        AuthApi api;
        api.setAutoLoginEnabled(true);
        api.setHttpManager(&http);
        Spies spies(api);
        QSettings().setValue(QStringLiteral("auth/token"), QStringLiteral("kept-token"));
        QSettings().setValue(QStringLiteral("auth/device_secret"), QStringLiteral("kept-secret"));
        QSettings().setValue(QStringLiteral("auth/phone"), QStringLiteral("13800138000"));

        QSignalSpy traces(&http, &HttpManager::trace);
        api.refreshToken();
        api.refreshToken();
        const QRegularExpression queued(QStringLiteral("^\\[HTTP\\] 入队 #(\\d+) op=refresh"));
        QList<quint64> ids;
        for (const QVariantList &line : std::as_const(traces)) {
            const auto match = queued.match(line.at(0).toString());
            if (match.hasMatch())
                ids.append(match.captured(1).toULongLong());
        }
        QCOMPARE(ids.size(), 2);

        const QVariantMap data{{"user_id", 88},
                               {"points", "12"},
                               {"vip_num", 4},
                               {"device_secret", "fresh-secret"},
                               {"vip_expire_at", 1800000000}};
        emit http.responseReady(ids.at(0) + 1000, QStringLiteral("refresh"), true, 200, {{"data", data}},
                                QString());
        QCOMPARE(spies.authenticated.count(), 0);
        emit http.responseReady(ids.at(0), QStringLiteral("refresh"), true, 200,
                                {{"code", 1}, {"data", data}}, QString());
        QCOMPARE(spies.authenticated.count(), 1);
        QCOMPARE(spies.authenticated.constFirst(), (QVariantList{"refresh", "13800138000", 88, 0, 4}));
        QCOMPARE(api.deviceSecret(), QStringLiteral("fresh-secret"));
        QCOMPARE(QSettings().value(QStringLiteral("auth/token")).toString(), QStringLiteral("kept-token"));
        // No membership object, but an expiry field: the whole data map is the membership.
        QCOMPARE(spies.membership.count(), 1);
        QCOMPARE(spies.membership.constFirst().at(0).toMap(), data);

        // Without a signing key the session would be refused everywhere: a failed refresh.
        QVariantMap withoutSecret = data;
        withoutSecret.remove(QStringLiteral("device_secret"));
        withoutSecret.insert(QStringLiteral("token"), QStringLiteral("other-token"));
        emit http.responseReady(ids.at(1), QStringLiteral("refresh"), true, 200,
                                {{"code", 1}, {"data", withoutSecret}}, QString());
        QCOMPARE(spies.authenticated.count(), 1);
        QCOMPARE(spies.membership.count(), 1);
        QCOMPARE(spies.failed.count(), 1);
        QCOMPARE(spies.failed.constFirst().at(0).toString(), QStringLiteral("refresh"));
        QCOMPARE(QSettings().value(QStringLiteral("auth/token")).toString(), QStringLiteral("kept-token"));
        QCOMPARE(QSettings().value(QStringLiteral("auth/device_secret")).toString(),
                 QStringLiteral("fresh-secret"));

        // The real (failed) answers for those ids arrive later and are ignored: the entries are gone.
        QTRY_VERIFY_WITH_TIMEOUT(!http.busy(), 10000);
        QCOMPARE(spies.failed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAuthApi)
#include "tst_authapi.moc"
