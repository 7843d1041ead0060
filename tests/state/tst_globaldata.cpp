#include "state/globaldata.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

class TestGlobalData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Nimbra"));
        QCoreApplication::setApplicationName(QStringLiteral("Nimbra"));
    }

    void vocabularyIsConstant()
    {
        GlobalData *data = GlobalData::instance();
        QCOMPARE(GlobalData::instance(), data);

        const QMetaObject *meta = data->metaObject();
        QCOMPARE(meta->property(meta->propertyOffset()).name(), "apiBaseUrl");
        QCOMPARE(meta->property(meta->propertyOffset() + 33).name(), "loggedIn");
        QCOMPARE(meta->property(meta->propertyCount() - 1).name(), "leaderTeamDetail");
        for (int i = meta->propertyOffset(); i < meta->propertyOffset() + 33; ++i) {
            const QMetaProperty property = meta->property(i);
            QVERIFY2(property.isConstant() && !property.hasNotifySignal() && !property.isWritable(),
                     property.name());
            const QString value = property.read(data).toString();
            QVERIFY2(!value.isEmpty(), property.name());
            if (QByteArray(property.name()).endsWith("Path"))
                QVERIFY2(value.startsWith('/') && !value.endsWith('/'), property.name());
        }

        const QUrl base(data->apiBaseUrl());
        QCOMPARE(base.scheme(), QStringLiteral("https"));
        QVERIFY(base.path().isEmpty());
        QVERIFY(base.host().endsWith(QStringLiteral(".invalid")));

        QCOMPARE(data->smsSceneRegister(), data->operationRegister());
        QCOMPARE(QByteArray::fromBase64(data->nodeConfigAesKeyBase64().toLatin1()).size(), 32);
        QCOMPARE(data->settingsDeviceSecretKey(), QStringLiteral("auth/device_secret"));
        QCOMPARE(meta->indexOfProperty("settingsDeviceSecretKey"), -1);
    }

    void translatesServerMessages()
    {
        const GlobalData *data = GlobalData::instance();
        QCOMPARE(data->translateServerMessage(QStringLiteral("invalid token")),
                 QStringLiteral("登录状态已失效，请重新登录"));
        QCOMPARE(data->translateServerMessage(QStringLiteral("  INVALID Token\t")),
                 QStringLiteral("登录状态已失效，请重新登录"));
        QCOMPARE(data->translateServerMessage(QStringLiteral("Bad Request")),
                 QStringLiteral("请求参数不合法"));
        QCOMPARE(data->translateServerMessage(QStringLiteral("too many requests")),
                 QStringLiteral("操作过于频繁，请稍后再试"));
        // No prefix or substring matching; unknown texts come back exactly as given.
        QCOMPARE(data->translateServerMessage(QStringLiteral("send failed: carrier down")),
                 QStringLiteral("send failed: carrier down"));
        QCOMPARE(data->translateServerMessage(QStringLiteral("Quota Exceeded")),
                 QStringLiteral("Quota Exceeded"));
        QCOMPARE(data->translateServerMessage(QStringLiteral("验证码错误")), QStringLiteral("验证码错误"));
        QCOMPARE(data->translateServerMessage(QString()), QString());
    }

    void accountAndMembership()
    {
        GlobalData *data = GlobalData::instance();
        QSignalSpy account(data, &GlobalData::accountChanged);
        QSignalSpy membership(data, &GlobalData::membershipChanged);
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));

        // A user id of 0 is not a signed-in account, whatever else came with it.
        data->setAuthenticated(QStringLiteral("13800138000"), 0, 50, 2);
        QVERIFY(!data->loggedIn());
        QCOMPARE(data->userPhone(), QStringLiteral("13800138000"));
        QCOMPARE(data->points(), 50);
        QCOMPARE(data->authVipNum(), 2);
        QCOMPARE(account.count(), 1);

        data->setAuthenticated(QStringLiteral("13800138000"), 42, 10, 7);
        QVERIFY(data->loggedIn());
        QCOMPARE(data->userId(), 42);
        data->setMembership({{"vip_type", "shared"}, {"vip_expire_at", 1800000000}});
        QCOMPARE(data->membership().value("vip_num"), QVariant(7));
        QCOMPARE(data->membership().value("is_vip"), QVariant(true));

        // A refresh without membership keeps the other keys and only updates vip_num / is_vip.
        data->setAuthenticated(QStringLiteral("13800138000"), 42, 10, 0);
        QCOMPARE(
            data->membership(),
            (QVariantMap{
                {"vip_num", 0}, {"is_vip", false}, {"vip_type", "shared"}, {"vip_expire_at", 1800000000}}));
        data->setMembership({{"is_vip", true}});
        QCOMPARE(data->membership().value("vip_num"), QVariant(0));
        QCOMPARE(data->membership().value("is_vip"), QVariant(true));
        QCOMPARE(data->membership().size(), 4);
        data->setMembership({});
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QCOMPARE(account.count(), 3);
        QCOMPARE(membership.count(), 6);
    }

    void signOutClearsEverythingInOrder()
    {
        GlobalData *data = GlobalData::instance();
        data->setAuthenticated(QStringLiteral("13900139000"), 9, 1, 3);
        data->setOrders({QVariantMap{{"order_no", "A1"}}});
        data->setLeaderTeamDetail({{"team_id", 5}});

        QStringList emitted;
        const QMetaObject *meta = data->metaObject();
        QList<QMetaObject::Connection> connections;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal || method.parameterCount() != 0)
                continue;
            const QString name = QString::fromLatin1(method.name());
            connections << connect(data, method, this,
                                   metaObject()->method(metaObject()->indexOfSlot("record()")));
            m_names.insert(method.methodIndex(), name);
        }
        m_emitted = &emitted;
        data->clearSessionData();
        // Already-empty records still announce themselves.
        data->clearSessionData();
        m_emitted = nullptr;
        for (const auto &connection : connections)
            disconnect(connection);

        const QStringList once = {"accountChanged",       "membershipChanged",
                                  "purchaseEntryChanged", "preparedPurchaseDataChanged",
                                  "ordersChanged",        "orderDetailChanged",
                                  "groupDetailChanged",   "leaderEntryChanged",
                                  "leaderTeamsChanged",   "leaderTeamDetailChanged"};
        QCOMPARE(emitted, once + once);
        QVERIFY(!data->loggedIn());
        QCOMPARE(data->userId(), 0);
        QVERIFY(data->userPhone().isEmpty());
        QCOMPARE(data->membership(), (QVariantMap{{"vip_num", 0}, {"is_vip", false}}));
        QVERIFY(data->orders().isEmpty());
        QVERIFY(data->leaderTeamDetail().isEmpty());
    }

    void clipboard()
    {
        const GlobalData *data = GlobalData::instance();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QVERIFY(!data->copyToClipboard(QString()));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(data->copyToClipboard(QStringLiteral("NB-2026-团队码")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("NB-2026-团队码"));
    }

public slots:
    void record()
    {
        if (m_emitted)
            m_emitted->append(m_names.value(senderSignalIndex()));
    }

private:
    QHash<int, QString> m_names;
    QStringList *m_emitted = nullptr;
};

QTEST_MAIN(TestGlobalData)
#include "tst_globaldata.moc"
