#include "platform/routecommand.h"

#include "netns.h"

#include <QTest>

using namespace nimbra::platform;

namespace {

// "program arg arg ...", or "-" when no command was built.
QString line(const std::optional<RouteCommand> &command)
{
    if (!command)
        return QStringLiteral("-");
    QString text = QString::fromStdString(command->program);
    for (const std::string &argument : command->arguments)
        text += ' ' + QString::fromStdString(argument);
    return text;
}

} // namespace

class TestRouteCommand : public QObject
{
    Q_OBJECT

private slots:
    void commandLines()
    {
        constexpr auto W = RouteSyntax::Windows;
        constexpr auto L = RouteSyntax::Linux;
        QCOMPARE(line(routeAddCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", W)),
                 QStringLiteral("route.exe add 1.2.0.0 mask 255.255.0.0 172.19.0.1"));
        QCOMPARE(line(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", W)),
                 QStringLiteral("route.exe delete 1.2.0.0 mask 255.255.0.0 172.19.0.1"));
        QCOMPARE(line(routeAddCommand("0.0.0.0", "0.0.0.0", "10.0.0.1", W)),
                 QStringLiteral("route.exe add 0.0.0.0 mask 0.0.0.0 10.0.0.1"));
        QCOMPARE(line(routeAddCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", L)),
                 QStringLiteral("ip route add 1.2.0.0/16 via 172.19.0.1 proto 215"));
        QCOMPARE(line(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", L)),
                 QStringLiteral("ip route del 1.2.0.0/16 via 172.19.0.1 proto 215"));
        QCOMPARE(line(routeAddCommand("0.0.0.0", "0.0.0.0", "172.19.0.1", L)),
                 QStringLiteral("ip route add 0.0.0.0/0 via 172.19.0.1 proto 215"));
        QCOMPARE(line(routeDeleteCommand("1.2.3.4", "255.255.255.255", "172.19.0.1", L)),
                 QStringLiteral("ip route del 1.2.3.4/32 via 172.19.0.1 proto 215"));
        QCOMPARE(line(routeAddCommand("10.16.0.0", "255.240.0.0", "172.19.0.1", L)),
                 QStringLiteral("ip route add 10.16.0.0/12 via 172.19.0.1 proto 215"));

        // Nothing that is not a plain dotted quad, a contiguous mask and a network address gets through
        // (leading zeros would be octal to route.exe; "-p" would be an option).
        const char *const bad[][3] = {
            {"1.2.0.0", "255.0.255.0", "172.19.0.1"},
            {"1.2.3.0", "255.255.0.0", "172.19.0.1"},
            {"01.2.0.0", "255.255.0.0", "172.19.0.1"},
            {"256.2.0.0", "255.255.0.0", "172.19.0.1"},
            {"1.2.0", "255.255.0.0", "172.19.0.1"},
            {"1.2.0.0.0", "255.255.0.0", "172.19.0.1"},
            {"1.2.0.0 ", "255.255.0.0", "172.19.0.1"},
            {"::1", "255.255.0.0", "172.19.0.1"},
            {"1.2.0.0", "255.255.0.0", "example.com"},
            {"1.2.0.0", "255.255.0.0", "-p"},
            {"1.2.0.0", "", "172.19.0.1"},
        };
        for (const auto &[destination, mask, gateway] : bad) {
            for (RouteSyntax syntax : {W, L}) {
                QVERIFY2(!routeAddCommand(destination, mask, gateway, syntax), destination);
                QVERIFY2(!routeDeleteCommand(destination, mask, gateway, syntax), destination);
            }
        }
    }

    void deletionFoundNothing_data()
    {
        QTest::addColumn<int>("syntax");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("foundNothing");
        const int W = int(RouteSyntax::Windows);
        const int L = int(RouteSyntax::Linux);
        QTest::newRow("ip: gone") << L << "RTNETLINK answers: No such process" << true;
        QTest::newRow("ip: refused") << L << "RTNETLINK answers: Operation not permitted" << false;
        QTest::newRow("route.exe: gone") << W << "The route deletion failed: Element not found." << true;
        QTest::newRow("route.exe: gone, Chinese") << W << "路由删除失败: 找不到元素。" << true;
        QTest::newRow("route.exe: refused") << W << "The requested operation requires elevation." << false;
        QTest::newRow("wrong system's wording") << W << "RTNETLINK answers: No such process" << false;
    }

    void deletionFoundNothing()
    {
        QFETCH(int, syntax);
        QFETCH(QString, output);
        QFETCH(bool, foundNothing);
        QCOMPARE(routeDeletionFoundNothing(output.toStdString(), RouteSyntax(syntax)), foundNothing);
    }

    void routesInAPrivateNamespace()
    {
        if (geteuid() != 0)
            QSKIP("needs root to make a private network namespace");
        TestNetNamespace ns;
        if (!ns.isValid())
            QSKIP(qPrintable(QStringLiteral("cannot make a network namespace: ") + ns.error()));
        // A dummy interface where the kernel has the driver, else one end of a veth pair.
        QString output;
        if (!ns.ip({"link", "add", "nt0", "type", "dummy"}))
            QVERIFY2(ns.ip({"link", "add", "nt0", "type", "veth", "peer", "name", "nt1"}, &output),
                     qPrintable(output));
        QVERIFY(ns.ip({"addr", "add", "172.19.0.1/30", "dev", "nt0"}));
        QVERIFY(ns.ip({"link", "set", "nt0", "up"}));

        const auto run = [&](const std::optional<RouteCommand> &command) {
            return command && ns.ip(line(command).split(' ').mid(1));
        };
        const auto ownRoutes = [&] {
            std::optional<std::vector<OwnRoute>> routes;
            ns.runInside([&] { routes = listOwnRoutes(); });
            QStringList list;
            for (const OwnRoute &route :
                 routes.value_or(std::vector<OwnRoute>{{"query failed", "", 0, ""}})) {
                list << QStringLiteral("%1/%2 %3 via %4")
                            .arg(QString::fromStdString(route.destination))
                            .arg(route.prefixLength)
                            .arg(QString::fromStdString(route.mask), QString::fromStdString(route.gateway));
            }
            list.sort();
            return list;
        };

        // The TUN address itself as the gateway, as the client does.
        QVERIFY(run(routeAddCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", RouteSyntax::Linux)));
        QVERIFY(run(routeAddCommand("9.9.9.9", "255.255.255.255", "172.19.0.1", RouteSyntax::Linux)));
        // Someone else's: the same destination and gateway at another metric, and one elsewhere.
        QVERIFY(ns.ip({"route", "add", "1.2.0.0/16", "via", "172.19.0.1", "metric", "50"}));
        QVERIFY(ns.ip({"route", "add", "5.6.0.0/16", "via", "172.19.0.1", "proto", "static"}));
        QCOMPARE(ownRoutes(), (QStringList{"1.2.0.0/16 255.255.0.0 via 172.19.0.1",
                                           "9.9.9.9/32 255.255.255.255 via 172.19.0.1"}));

        QVERIFY(run(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", RouteSyntax::Linux)));
        QVERIFY(run(routeDeleteCommand("9.9.9.9", "255.255.255.255", "172.19.0.1", RouteSyntax::Linux)));
        QCOMPARE(ownRoutes(), QStringList());
        // Deleting ours again fails instead of taking the other route to 1.2.0.0/16, and the failure
        // reads as "no such route"; other failures do not.
        const auto deleteAgain =
            line(routeDeleteCommand("1.2.0.0", "255.255.0.0", "172.19.0.1", RouteSyntax::Linux));
        QVERIFY(!ns.ip(deleteAgain.split(' ').mid(1), &output));
        QVERIFY2(routeDeletionFoundNothing(output.toStdString(), RouteSyntax::Linux), qPrintable(output));
        QVERIFY(!ns.ip({"route", "add", "5.6.0.0/16", "via", "172.19.0.1", "proto", "static"}, &output));
        QVERIFY2(!routeDeletionFoundNothing(output.toStdString(), RouteSyntax::Linux), qPrintable(output));
        QVERIFY(ns.ip({"route", "show", "proto", "boot"}, &output));
        QVERIFY2(output.contains(QStringLiteral("1.2.0.0/16 via 172.19.0.1 dev nt0 metric 50")),
                 qPrintable(output));
        QVERIFY(ns.ip({"route", "show", "5.6.0.0/16"}, &output));
        QVERIFY2(!output.isEmpty(), "the static route is gone");
    }
};

QTEST_GUILESS_MAIN(TestRouteCommand)
#include "tst_routecommand.moc"
