// The network helper as installed: a copy carrying cap_net_admin (permitted only), run by root and by
// unprivileged users inside this test's own network namespace, with veth interfaces standing in for
// most users' TUN and the stub core making one. The core is the build's, at the path built in.
#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "privatenetwork.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool g_inPrivateNetwork = false;
constexpr int kUserA = 65534;
constexpr int kUserB = 65533;
constexpr int kOutsider = 65532;       // never runs the helper
constexpr int kUserD = kUserA + 16384; // prefers A's tunnel address

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

// Our routes on one user's tunnel, as sorted "destination/prefix" texts.
QStringList routesOf(int uid)
{
    QStringList routes;
    const QString name = QString::fromStdString(nimbra::platform::tunInterfaceName(uid));
    const QString table =
        run(QStringLiteral("ip"), {"-4", "route", "show", "table", "all", "proto", "215", "dev", name});
    for (const QString &line : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        routes << line.section(QLatin1Char(' '), 0, 0);
    routes.sort();
    return routes;
}

// Where a uid's traffic to address goes: the "dev" of "ip route get", or the refusal.
QString deviceFor(const QString &address, int uid)
{
    const QString answer = run(QStringLiteral("ip"), {"route", "get", address, "uid", QString::number(uid)});
    const qsizetype at = answer.indexOf(QStringLiteral(" dev "));
    return at < 0 ? answer : answer.mid(at + 5).section(QLatin1Char(' '), 0, 0);
}

// count distinct /24 ranges from first.0.0.0/24 on.
QByteArray smallRanges(int count, int first = 11)
{
    QByteArray text;
    for (int index = 0; index < count; ++index)
        text += QStringLiteral("%1.%2.%3.0/24\n")
                    .arg(first + index / 65536)
                    .arg(index / 256 % 256)
                    .arg(index % 256)
                    .toLatin1();
    return text;
}

// count distinct /12 ranges from first.0.0.0/12 on, 2^20 addresses each.
QByteArray wideRanges(int count, int first = 11)
{
    QByteArray text;
    for (int index = 0; index < count; ++index)
        text += QStringLiteral("%1.%2.0.0/12\n").arg(first + index / 16).arg(index % 16 * 16).toLatin1();
    return text;
}

// A configuration as the client writes it, with the TUN inbound's members and more members at the top.
QByteArray configuration(const QByteArray &tun, const QByteArray &extra = {})
{
    return "{\"log\":{\"level\":\"info\"},\"inbounds\":[{\"tag\":\"tun-in\"," + tun +
           "}],\"outbounds\":[{\"type\":\"shadowsocks\",\"tag\":\"proxy-out\","
           "\"server\":\"203.0.113.10\",\"server_port\":8388,\"method\":\"2022-blake3-aes-128-gcm\","
           "\"password\":\"Tm9kZVNlY3JldEtleTE2Qg==\"}],"
           "\"route\":{\"rules\":[{\"inbound\":\"tun-in\",\"outbound\":\"proxy-out\"}]}" +
           extra + "}";
}

QByteArray ownTun(int uid)
{
    return QStringLiteral(R"("type":"tun","interface_name":"nb%1","address":["%2/30"],"stack":"gvisor")")
        .arg(uid)
        .arg(tunnelAddress(uid))
        .toLatin1();
}

// The stub core opens /dev/net/tun as the user it runs for. Where that node is root's alone (in some
// containers), this run gets a mount namespace of its own with one everybody may open, as Debian's is.
// Call before any thread exists.
void tunForEveryone()
{
    struct stat status = {};
    if (stat("/dev/net/tun", &status) == 0 && (status.st_mode & 0006) == 0006)
        return;
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev/net", "tmpfs", 0, "mode=0755") != 0)
        return;
    mknod("/dev/net/tun", S_IFCHR | 0666, makedev(10, 200));
    chmod("/dev/net/tun", 0666);
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
        // A copy with the capability as the package gives it, in a folder other users can reach.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        m_helper = m_dir.filePath(QStringLiteral("nimbra-net"));
        QVERIFY(QFile::copy(QStringLiteral(NIMBRA_NET_HELPER), m_helper));
        QCOMPARE(QProcess::execute(QStringLiteral("setcap"), {QStringLiteral("cap_net_admin+p"), m_helper}),
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
        for (const int uid : {0, kUserA, kUserB, kUserD})
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

    // The core gets only the structure the client writes, spelled exactly, once each, for the
    // caller's own tunnel; Go's decoder would read a key in another case or a duplicate as the key.
    void coreConfigurations_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("message");

        const QByteArray own = ownTun(0);
        QTest::newRow("own tunnel") << configuration(own) << QByteArray() << QByteArray();
        QTest::newRow("foreign name")
            << configuration(ownTun(kUserA)) << QByteArray() << QByteArray("not nb0");
        QTest::newRow("auto_route") << configuration(own + R"(,"auto_route":true)") << QByteArray()
                                    << QByteArray("must be false");
        for (const char *key : {"Auto_Route", "AUTO_ROUTE", "Strict_Route", "\u017Ftrict_route"})
            QTest::newRow(key) << configuration(own + ",\"" + key + "\":true") << QByteArray()
                               << QByteArray("only without case");
        QTest::newRow("Routing_Mark") << configuration(own + R"(,"Routing_Mark":7)") << QByteArray()
                                      << QByteArray("Routing_Mark: is not a key");
        QByteArray mark = configuration(own);
        mark.replace(R"("route":{)", R"("route":{"default_mark":7,)");
        QTest::newRow("default_mark") << mark << QByteArray() << QByteArray("route.default_mark");
        QTest::newRow("second Inbounds")
            << configuration(own, R"(,"Inbounds":[{"type":"tun","interface_name":"nb65534"}])")
            << QByteArray() << QByteArray("appears twice");
        QTest::newRow("Interface_Name beside") << configuration(own + R"(,"Interface_Name":"nb65534")")
                                               << QByteArray() << QByteArray("appears twice");
        QTest::newRow("Address beside") << configuration(own + R"(,"Address":["0.0.0.1/1"])") << QByteArray()
                                        << QByteArray("appears twice");
        QTest::newRow("system endpoint")
            << configuration(own, R"(,"endpoints":[{"type":"wireguard","tag":"wg","system":true,)"
                                  R"("name":"nb65534","address":["0.0.0.1/1","128.0.0.1/1"]}])")
            << QByteArray() << QByteArray("endpoints: is not a key");
        QTest::newRow("services") << configuration(own, R"(,"services":[{"type":"resolved"}])")
                                  << QByteArray() << QByteArray("services: is not a key");
        QByteArray wireguard = configuration(own);
        wireguard.replace(R"({"type":"shadowsocks")",
                          R"({"type":"wireguard","tag":"wg","system_interface":true},{"type":"shadowsocks")");
        QTest::newRow("system_interface") << wireguard << QByteArray() << QByteArray("\"wireguard\"");
        QByteArray tproxy = configuration(own);
        tproxy.replace(R"("inbounds":[)", R"("inbounds":[{"type":"tproxy","tag":"tp","listen_port":7},)");
        QTest::newRow("tproxy inbound") << tproxy << QByteArray() << QByteArray("only inbound");
        QByteArray output = configuration(own);
        output.replace(R"("level":"info")", R"("level":"info","output":"/etc/passwd")");
        QTest::newRow("log output") << output << QByteArray() << QByteArray("log.output: is not a key");
        QTest::newRow("core 1.13.9") << configuration(own) << QByteArray("1.13.9") << QByteArray();
        QTest::newRow("core 1.14.0") << configuration(own) << QByteArray("1.14.0")
                                     << QByteArray("newer than 1.13");
    }

    void coreConfigurations()
    {
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, message);
        QFile file(m_dir.filePath(QStringLiteral("config.json")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(config);
        file.close();
        if (!version.isEmpty())
            qputenv("NIMBRA_STUB_CORE_VERSION", version);
        const Result result = helper(0, {"core", "check", "-c", file.fileName()});
        qunsetenv("NIMBRA_STUB_CORE_VERSION");
        if (message.isEmpty()) {
            QVERIFY2(result.exitCode == 0, result.error.constData() + result.output);
        } else {
            QCOMPARE(result.exitCode, 2);
            QVERIFY2(result.error.contains(message), result.error.constData());
        }
    }

    // Four users in one namespace: A and B in the group with the same range, an outsider who never
    // runs the helper, and D, whose uid is A's + 16384. Each one's traffic goes where its own routes
    // say, and nobody else's; cleanups and quotas are each user's own.
    void fourUsers()
    {
        // D's core makes D's tunnel, on an address the helper picked because A holds D's preferred one.
        QFile file(m_dir.filePath(QStringLiteral("config-d.json")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(configuration(ownTun(kUserD)));
        file.close();
        QFile::setPermissions(file.fileName(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
        QProcess core;
        core.start(QStringLiteral("setpriv"),
                   userArguments(kUserD) + QStringList{m_helper, "core", "run", "-c", file.fileName()});
        const QString nameD = QString::fromStdString(nimbra::platform::tunInterfaceName(kUserD));
        QTRY_VERIFY_WITH_TIMEOUT(
            run(QStringLiteral("ip"), {"-4", "addr", "show", "dev", nameD}).contains(QStringLiteral("inet ")),
            5000);
        const QString addressD = run(QStringLiteral("ip"), {"-4", "-o", "addr", "show", "dev", nameD});
        QVERIFY2(!addressD.contains(tunnelAddress(kUserA)), qPrintable(addressD));
        QVERIFY2(addressD.contains(QStringLiteral(" 172.19.")), qPrintable(addressD));

        for (const int uid : {kUserA, kUserB, kUserD}) {
            const Result result = helper(uid, {"routes", "add"}, "198.18.1.0/24\n");
            QVERIFY2(result.exitCode == 0, result.error.constData());
        }
        for (const int uid : {kUserA, kUserB, kUserD})
            QCOMPARE(deviceFor(QStringLiteral("198.18.1.7"), uid),
                     QString::fromStdString(nimbra::platform::tunInterfaceName(uid)));
        for (const int uid : {kOutsider, 0})
            QVERIFY(!deviceFor(QStringLiteral("198.18.1.7"), uid).startsWith(QStringLiteral("nb")));

        // D's cleanup (which every start of D's client runs) leaves A's routes alone.
        QCOMPARE(helper(kUserD, {"routes", "cleanup"}).exitCode, 0);
        QVERIFY(routesOf(kUserD).isEmpty());
        const QString rules = run(QStringLiteral("ip"), {"rule", "show"});
        QVERIFY2(!rules.contains(QStringLiteral("uidrange %1-%1").arg(kUserD)) &&
                     rules.contains(QStringLiteral("uidrange %1-%1").arg(kUserA)),
                 qPrintable(rules));
        QCOMPARE(routesOf(kUserA), QStringList{"198.18.1.0/24"});
        QCOMPARE(deviceFor(QStringLiteral("198.18.1.7"), kUserA), QStringLiteral("nb65534"));

        // A full quota of A's takes nothing from B's.
        QCOMPARE(helper(kUserA, {"routes", "add"}, smallRanges(4095)).exitCode, 0);
        QCOMPARE(helper(kUserA, {"routes", "add"}, "198.18.2.0/24\n").exitCode, 2);
        QCOMPARE(helper(kUserB, {"routes", "add"}, smallRanges(4095)).exitCode, 0);
        QCOMPARE(routesOf(kUserA).size() + routesOf(kUserB).size(), 8192);
        core.kill();
        core.waitForFinished(5000);
    }

    // Two calls of one user's at once cannot pass a cap together.
    void concurrentAdds_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("4096 routes each") << smallRanges(4096, 11) << smallRanges(4096, 21);
        QTest::newRow("2^26 addresses each") << wideRanges(64, 11) << wideRanges(64, 21);
    }

    void concurrentAdds()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QProcess one;
        QProcess two;
        for (QProcess *process : {&one, &two})
            process->start(QStringLiteral("setpriv"),
                           userArguments(kUserA) + QStringList{m_helper, "routes", "add"});
        one.write(first);
        two.write(second);
        for (QProcess *process : {&one, &two}) {
            process->closeWriteChannel();
            QVERIFY(process->waitForFinished(30000));
        }
        QVERIFY(one.exitCode() != 0 || two.exitCode() != 0);
        std::uint64_t addresses = 0;
        const QStringList routes = routesOf(kUserA);
        for (const QString &route : routes)
            addresses += std::uint64_t(1) << (32 - route.section(QLatin1Char('/'), 1).toInt());
        QVERIFY(routes.size() <= 4096);
        QVERIFY(addresses <= nimbra::platform::kMaxSessionAddresses);
    }

    // The core is the one built in, whatever path the helper runs from, and only when root's alone;
    // the capability is effective only around the changes, never while the input is read.
    void coreAndCapability()
    {
        const QString folder = m_dir.filePath(QStringLiteral("user"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/data")));
        const QString marker = folder + QStringLiteral("/ran");
        QFile fake(folder + QStringLiteral("/data/nimbra-server"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\ntouch " + marker.toLocal8Bit() + "\necho sing-box version 1.12.0\n");
        fake.close();
        fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                            QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString link = folder + QStringLiteral("/nimbra-net");
        QCOMPARE(::link(QFile::encodeName(m_helper).constData(), QFile::encodeName(link).constData()), 0);
        for (const QString &path : {folder, folder + "/data", fake.fileName()})
            QCOMPARE(::chown(QFile::encodeName(path).constData(), kUserA, kUserA), 0);
        QProcess process;
        process.start(QStringLiteral("setpriv"),
                      userArguments(kUserA) + QStringList{link, "core", "version"});
        QVERIFY(process.waitForFinished(10000));
        QVERIFY2(process.readAllStandardOutput().contains("stub core"), "not the built-in core");
        QVERIFY(!QFile::exists(marker));

        // A core others than root could change is refused.
        const QString core = QStringLiteral(NIMBRA_CORE);
        const QFileDevice::Permissions modes = QFile::permissions(core);
        QFile::setPermissions(core, modes | QFileDevice::WriteOther);
        const Result writable = helper(kUserA, {"core", "version"});
        QFile::setPermissions(core, modes);
        QCOMPARE(writable.exitCode, 2);
        QVERIFY2(writable.error.contains("writable by others"), writable.error.constData());

        // While it waits for its input the helper holds cap_net_admin (bit 12) permitted, not effective.
        QProcess waiting;
        waiting.start(QStringLiteral("setpriv"),
                      userArguments(kUserA) + QStringList{m_helper, "routes", "add"});
        QVERIFY(waiting.waitForStarted());
        const QString status = QStringLiteral("/proc/%1/status").arg(waiting.processId());
        QTRY_VERIFY(QFileInfo(QStringLiteral("/proc/%1/exe").arg(waiting.processId())).symLinkTarget() ==
                    m_helper);
        QFile capabilities(status);
        QVERIFY(capabilities.open(QIODevice::ReadOnly));
        const QByteArray text = capabilities.readAll();
        QVERIFY2(text.contains("CapEff:\t0000000000000000") && text.contains("CapPrm:\t0000000000001000"),
                 text.constData());
        waiting.closeWriteChannel();
        QVERIFY(waiting.waitForFinished(10000));
    }

private:
    static QStringList userArguments(int uid)
    {
        return {QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(uid),
                QStringLiteral("--clear-groups")};
    }

    Result helper(int uid, const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        if (uid == 0)
            process.start(m_helper, arguments);
        else
            process.start(QStringLiteral("setpriv"), userArguments(uid) + QStringList{m_helper} + arguments);
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
    if (g_inPrivateNetwork)
        tunForEveryone();
    QCoreApplication app(argc, argv);
    TestNetHelper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nethelper.moc"
