#include "state/servermessages.h"

#include <QTest>

using nimbra::translateServerMessage;

class TestServerMessages : public QObject
{
    Q_OBJECT

private slots:
    void translates_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("exact") << QStringLiteral("invalid token")
                               << QStringLiteral("登录状态已失效，请重新登录");
        QTest::newRow("case and blanks")
            << QStringLiteral("  INVALID Token\t") << QStringLiteral("登录状态已失效，请重新登录");
        QTest::newRow("bad request") << QStringLiteral("Bad Request") << QStringLiteral("请求参数不合法");
        QTest::newRow("rate") << QStringLiteral("too many requests")
                              << QStringLiteral("操作过于频繁，请稍后再试");
        // No prefix or substring matching; unknown texts come back exactly as given.
        QTest::newRow("prefix") << QStringLiteral("send failed: carrier down")
                                << QStringLiteral("send failed: carrier down");
        QTest::newRow("unknown") << QStringLiteral("Quota Exceeded") << QStringLiteral("Quota Exceeded");
        QTest::newRow("chinese") << QStringLiteral("验证码错误") << QStringLiteral("验证码错误");
        QTest::newRow("empty") << QString() << QString();
    }

    void translates()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(translateServerMessage(message), shown);
    }
};

QTEST_GUILESS_MAIN(TestServerMessages)
#include "tst_servermessages.moc"
