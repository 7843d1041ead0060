// The network helper as installed: a copy carrying cap_net_admin beside a core, run by root and by
// two unprivileged users inside this test's own network namespace, with veth interfaces standing in
// for each user's TUN.
#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "privatenetwork.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool g_inPrivateNetwork = false;
constexpr int kUserA = 65534;
constexpr int kUserB = 65533;

struct Result
{
    int exitCode = -1;
    QByteArray output;
    QByteArray error;
};

QString tunnelAddress(int uid)
{
    return QString::fromStdString(nimbra::platform::formatIPv4(nimbra::platform::tunAddress(uid)));
}

// Our routes through one user's tunnel address, as sorted "destination/prefix" texts.
QStringList routesOf(int uid)
{
    QStringList routes;
    const QString table = run(QStringLiteral("ip"), {"-4", "route", "show", "proto", "215"});
    for (const QString &line : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.contains(QStringLiteral(" via ") + tunnelAddress(uid) + QLatin1Char(' ')))
            routes << line.section(QLatin1Char(' '), 0, 0);
    }
    routes.sort();
    return routes;
}

// count distinct /24 ranges in 11.0.0.0/8 and up.
QByteArray smallRanges(int count)
{
    QByteArray text;
    for (int index = 0; index < count; ++index)
        text += QStringLiteral("11.%1.%2.0/24\n").arg(index / 256).arg(index % 256).toLatin1();
    return text;
}

// count distinct /12 ranges from 11.0.0.0/12 on, 2^20 addresses each.
QByteArray wideRanges(int count)
{
    QByteArray text;
    for (int index = 0; index < count; ++index)
        text += QStringLiteral("%1.%2.0.0/12\n").arg(11 + index / 16).arg(index % 16 * 16).toLatin1();
    return text;
}

} // namespace

class TestNetHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the helper changes routes inside a private network namespace");
        if (QStandardPaths::findExecutable(QStringLiteral("setcap")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setcap (libcap2-bin) and setpriv (util-linux) are needed");
        // The installed layout, in a folder other users can reach: helper and data/nimbra-server.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("data")));
        m_helper = m_dir.filePath(QStringLiteral("nimbra-net"));
        QVERIFY(QFile::copy(QStringLiteral(NIMBRA_NET_HELPER), m_helper));
        QVERIFY(QFile::copy(QStringLiteral(NIMBRA_STUB_CORE),
                            m_dir.filePath(QStringLiteral("data/nimbra-server"))));
        QCOMPARE(QProcess::execute(QStringLiteral("setcap"), {QStringLiteral("cap_net_admin+ep"), m_helper}),
                 0);
        for (const int uid : {0, kUserA, kUserB}) {
            const QString name = QString::fromStdString(nimbra::platform::tunInterfaceName(uid));
            run(QStringLiteral("ip"), {"link", "add", name, "type", "veth", "peer", "name", name + "p"});
            run(QStringLiteral("ip"), {"addr", "add", tunnelAddress(uid) + "/30", "dev", name});
            run(QStringLiteral("ip"), {"link", "set", name, "up"});
            run(QStringLiteral("ip"), {"link", "set", name + "p", "up"});
        }
    }

    void cleanup()
    {
        for (const int uid : {0, kUserA, kUserB})
            helper(uid, {"routes", "cleanup"});
    }

    // Everything refused changes nothing; what is allowed lands on the caller's own tunnel only.
    void routeRequests_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("routeCount");

        const QStringList add{"routes", "add"};
        QTest::newRow("game ranges") << add << QByteArray("198.18.0.0/24\n11.0.0.0/12\n") << 0 << QByteArray()
                                     << 2;
        QTest::newRow("wider than /12") << add << QByteArray("11.0.0.0/11\n") << 2 << QByteArray("/12") << 0;
        const char *const reserved[] = {"0.1.0.0/16",         "10.2.0.0/16",    "100.64.0.0/12",
                                        "127.0.0.0/16",       "169.254.0.0/16", "172.16.0.0/12",
                                        "192.168.1.0/24",     "224.0.0.0/12",   "240.0.0.0/12",
                                        "255.255.255.255/32", "100.96.0.0/16"};
        for (const char *range : reserved)
            QTest::newRow(range) << add << QByteArray(range) + "\n198.18.0.0/24\n"
                                 << 2 << QByteArray(range) << 0;
        QTest::newRow("node address") << add << QByteArray("keep-out 198.18.7.9\n198.18.0.0/16\n") << 2
                                      << QByteArray("198.18.7.9") << 0;
        QTest::newRow("4096 routes") << add << smallRanges(4096) << 0 << QByteArray() << 4096;
        QTest::newRow("4097 routes") << add << smallRanges(4097) << 2 << QByteArray("4096") << 0;
        QTest::newRow("2^26 addresses") << add << wideRanges(64) << 0 << QByteArray() << 64;
        QTest::newRow("2^26 + 2^20 addresses") << add << wideRanges(65) << 2 << QByteArray("2^26") << 0;
        QTest::newRow("host bits") << add << QByteArray("198.18.0.1/24\n") << 2 << QByteArray("line 1") << 0;
        QTest::newRow("prefix 33") << add << QByteArray("198.18.0.0/33\n") << 2 << QByteArray("line 1") << 0;
        QTest::newRow("no prefix") << add << QByteArray("198.18.0.0\n") << 2 << QByteArray("line 1") << 0;
        QTest::newRow("oversized input")
            << add << QByteArray(1024 * 1024 + 1, '\n') << 2 << QByteArray("1 MiB") << 0;
        QTest::newRow("unknown verb")
            << QStringList{"routes", "flush"} << QByteArray() << 2 << QByteArray() << 0;
        QTest::newRow("no arguments") << QStringList{} << QByteArray() << 2 << QByteArray("usage") << 0;
    }

    void routeRequests()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, message);
        QFETCH(int, routeCount);
        const Result result = helper(0, arguments, input);
        QVERIFY2(result.exitCode == exitCode, result.error.constData());
        QVERIFY2(result.error.contains(message), result.error.constData());
        QCOMPARE(routesOf(0).size(), routeCount);
        QCOMPARE(routesOf(kUserA).size() + routesOf(kUserB).size(), 0);
    }

    // The core is started only for the caller's own tunnel, never routing or marking the machine.
    void coreConfigurations_data()
    {
        QTest::addColumn<QByteArray>("tun");
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QByteArray>("message");

        const QByteArray own = R"("type":"tun","interface_name":"nb0","address":["172.19.0.1/30"])";
        QTest::newRow("own tunnel") << own << QByteArray() << QByteArray();
        QTest::newRow("foreign name")
            << QByteArray(R"("type":"tun","interface_name":"nb65534","address":["172.19.0.1/30"])")
            << QByteArray() << QByteArray("not nb0");
        QTest::newRow("foreign address")
            << QByteArray(R"("type":"tun","interface_name":"nb0","address":["172.19.255.249/30"])")
            << QByteArray() << QByteArray("address");
        QTest::newRow("auto_route") << own + R"(,"auto_route":true)" << QByteArray()
                                    << QByteArray("auto_route");
        QTest::newRow("auto_redirect")
            << own + R"(,"auto_redirect":true)" << QByteArray() << QByteArray("auto_redirect");
        QTest::newRow("strict_route")
            << own + R"(,"strict_route":true)" << QByteArray() << QByteArray("strict_route");
        QTest::newRow("routing_mark")
            << own << QByteArray(R"(,"route":{"default_mark":7})") << QByteArray("default_mark");
    }

    void coreConfigurations()
    {
        QFETCH(QByteArray, tun);
        QFETCH(QByteArray, extra);
        QFETCH(QByteArray, message);
        QFile config(m_dir.filePath(QStringLiteral("config.json")));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(
            "{\"inbounds\":[{\"tag\":\"tun-in\"," + tun +
            "}],\"outbounds\":[{\"type\":\"shadowsocks\",\"tag\":\"proxy-out\","
            "\"server\":\"203.0.113.10\",\"server_port\":8388,\"method\":\"2022-blake3-aes-128-gcm\","
            "\"password\":\"Tm9kZVNlY3JldEtleTE2Qg==\"}]" +
            extra + "}");
        config.close();
        const Result result = helper(0, {"core", "check", "-c", config.fileName()});
        if (message.isEmpty()) {
            QVERIFY2(result.exitCode == 0, result.error.constData() + result.output);
        } else {
            QCOMPARE(result.exitCode, 2);
            QVERIFY2(result.error.contains(message), result.error.constData());
        }
    }

    // A second user neither removes nor replaces the first user's routes, whatever it asks for.
    void twoUsers()
    {
        QCOMPARE(helper(kUserA, {"routes", "add"}, "198.18.1.0/24\n198.18.2.0/24\n").exitCode, 0);
        QCOMPARE(routesOf(kUserA), (QStringList{"198.18.1.0/24", "198.18.2.0/24"}));

        QCOMPARE(helper(kUserB, {"routes", "cleanup"}).exitCode, 0);
        QCOMPARE(helper(kUserB, {"routes", "add"}, "198.18.3.0/24\n").exitCode, 0);
        QVERIFY(helper(kUserB, {"routes", "add"}, "198.18.1.0/24\n").exitCode != 0); // A's range
        helper(kUserB, {"routes", "delete"}, "198.18.1.0/24\n198.18.3.0/24\n");
        QCOMPARE(helper(kUserB, {"routes", "cleanup"}).exitCode, 0);

        QCOMPARE(routesOf(kUserA), (QStringList{"198.18.1.0/24", "198.18.2.0/24"}));
        QVERIFY(routesOf(kUserB).isEmpty());
        QVERIFY(run(QStringLiteral("ip"), {"-4", "addr", "show", "dev", "nb65534"})
                    .contains(tunnelAddress(kUserA)));
    }

private:
    Result helper(int uid, const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        if (uid == 0) {
            process.start(m_helper, arguments);
        } else {
            process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(uid),
                                                                 QStringLiteral("--regid=%1").arg(uid),
                                                                 QStringLiteral("--clear-groups"), m_helper} +
                                                         arguments);
        }
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QTemporaryDir m_dir;
    QString m_helper;
};

int main(int argc, char **argv)
{
    g_inPrivateNetwork = enterPrivateNetwork();
    QCoreApplication app(argc, argv);
    TestNetHelper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nethelper.moc"
