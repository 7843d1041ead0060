#include "state/globaldata.h"

#include <QMetaProperty>
#include <QTest>
#include <QUrl>

class TestGlobalData : public QObject
{
    Q_OBJECT

private slots:
    void vocabularyIsConstant()
    {
        GlobalData *data = GlobalData::instance();
        QCOMPARE(GlobalData::instance(), data);

        const QMetaObject *meta = data->metaObject();
        QCOMPARE(meta->property(meta->propertyOffset()).name(), "apiBaseUrl");
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
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
};

QTEST_GUILESS_MAIN(TestGlobalData)
#include "tst_globaldata.moc"
