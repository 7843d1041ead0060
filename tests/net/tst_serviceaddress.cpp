#include "net/serviceaddress.h"

#include <QTest>

class TestServiceAddress : public QObject
{
    Q_OBJECT

private slots:
    // The session token and node credentials travel to this address: TLS, unless it is this machine.
    void plainHttpOnlyToLoopback_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("usable");
        QTest::newRow("https") << "https://api.nimbra.test" << true;
        QTest::newRow("https to an address") << "https://192.0.2.7:8443/api" << true;
        QTest::newRow("http to 127.0.0.1") << "http://127.0.0.1:8080" << true;
        QTest::newRow("http elsewhere in 127/8") << "http://127.8.9.10" << true;
        QTest::newRow("http to localhost") << "http://LocalHost:1" << true;
        QTest::newRow("http to ::1") << "http://[::1]:8080" << true;
        QTest::newRow("http to a name") << "http://api.nimbra.test" << false;
        QTest::newRow("http to a name beginning like loopback") << "http://127.0.0.1.nimbra.test" << false;
        QTest::newRow("http to a private address") << "http://10.0.0.1" << false;
        QTest::newRow("http to any address") << "http://0.0.0.0:8080" << false;
        QTest::newRow("other scheme to loopback") << "ftp://127.0.0.1" << false;
        QTest::newRow("no host") << "https://" << false;
    }

    void plainHttpOnlyToLoopback()
    {
        QFETCH(QString, url);
        QFETCH(bool, usable);
        QCOMPARE(nimbra::net::serviceUrlRefusal(url).isEmpty(), usable);
    }
};

QTEST_GUILESS_MAIN(TestServiceAddress)
#include "tst_serviceaddress.moc"
