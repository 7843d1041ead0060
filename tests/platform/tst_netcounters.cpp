#include "platform/netcounters.h"

#include "netns.h"

#include <QFile>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <cstring>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_tun.h>
#include <sys/ioctl.h>

using namespace nimbra::platform;

namespace {

const InterfaceCounterRow *findRow(const std::vector<InterfaceCounterRow> &rows, const char *name)
{
    for (const InterfaceCounterRow &row : rows) {
        if (row.name == name)
            return &row;
    }
    return nullptr;
}

struct Fd
{
    int value = -1;
    ~Fd()
    {
        if (value >= 0)
            close(value);
    }
};

sockaddr_in ipv4(const char *address, quint16 port)
{
    sockaddr_in socketAddress = {};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    inet_pton(AF_INET, address, &socketAddress.sin_addr);
    return socketAddress;
}

bool udpSocket(Fd &fd, const char *bindAddress = nullptr, quint16 port = 0)
{
    fd.value = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const timeval timeout = {2, 0};
    setsockopt(fd.value, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address = ipv4(bindAddress ? bindAddress : "0.0.0.0", port);
    return fd.value >= 0 && bind(fd.value, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

// Sends count datagrams of size bytes; with a receiver, also takes them all off it.
bool sendDatagrams(int sender, const char *to, quint16 port, int count, int size, int receiver = -1)
{
    const QByteArray payload(size, 'x');
    const sockaddr_in address = ipv4(to, port);
    char buffer[65536];
    for (int i = 0; i < count; ++i) {
        if (sendto(sender, payload.constData(), size, 0, reinterpret_cast<const sockaddr *>(&address),
                   sizeof address) != size ||
            (receiver >= 0 && recv(receiver, buffer, sizeof buffer, 0) != size)) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestNetCounters : public QObject
{
    Q_OBJECT

private slots:
    void onlyOperationalNonLoopbackNonTunnelRowsCount()
    {
        // MIB_IFROW: status 5 operational, 4 connected, 2 disconnected; types 6 Ethernet, 71 Wi-Fi,
        // 23 PPP, 24 loopback, 131 tunnel. The 32-bit counters add up beyond 32 bits.
        QCOMPARE(sumCountedInterfaces({
                     windowsInterfaceRow("Ethernet", 5, 6, 0xffffffffu, 0xfffffff0u),
                     windowsInterfaceRow("Wi-Fi", 5, 71, 0xffffffffu, 0x20u),
                     windowsInterfaceRow("PPP", 5, 23, 7, 9),
                     windowsInterfaceRow("Loopback", 5, 24, 1000, 1000),
                     windowsInterfaceRow("Tunnel", 5, 131, 1000, 1000),
                     windowsInterfaceRow("Cable out", 2, 6, 1000, 1000),
                     windowsInterfaceRow("Connecting", 4, 71, 1000, 1000),
                 }),
                 (ByteTotals{0x1fffffffeull + 7, 0x100000010ull + 9}));

        constexpr std::uint32_t up = IFF_UP | IFF_RUNNING | IFF_LOWER_UP;
        const std::uint64_t big = 1ull << 40;
        QCOMPARE(sumCountedInterfaces({
                     linuxInterfaceRow("eth0", ARPHRD_ETHER, IF_OPER_UP, up, big, 2 * big),
                     linuxInterfaceRow("dummy0", ARPHRD_ETHER, IF_OPER_UNKNOWN, up, 5, 6),
                     linuxInterfaceRow("ppp0", ARPHRD_PPP, IF_OPER_UNKNOWN, up, 7, 8),
                     linuxInterfaceRow("lo", ARPHRD_LOOPBACK, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("tun0", ARPHRD_NONE, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("wg0", ARPHRD_NONE, IF_OPER_UP, up, 1000, 1000),
                     linuxInterfaceRow("ipip0", ARPHRD_TUNNEL, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("ip6tnl0", ARPHRD_TUNNEL6, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("sit0", ARPHRD_SIT, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("gre0", ARPHRD_IPGRE, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("ip6gre0", ARPHRD_IP6GRE, IF_OPER_UNKNOWN, up, 1000, 1000),
                     linuxInterfaceRow("eth1", ARPHRD_ETHER, IF_OPER_DOWN, IFF_UP, 1000, 1000),
                     linuxInterfaceRow("eth2", ARPHRD_ETHER, IF_OPER_LOWERLAYERDOWN, IFF_UP, 1000, 1000),
                     linuxInterfaceRow("eth3", ARPHRD_ETHER, IF_OPER_DORMANT, up, 1000, 1000),
                     // An unknown state counts only while the link is up with carrier.
                     linuxInterfaceRow("dummy1", ARPHRD_ETHER, IF_OPER_UNKNOWN, IFF_UP, 1000, 1000),
                     linuxInterfaceRow("dummy2", ARPHRD_ETHER, IF_OPER_UNKNOWN, IFF_LOWER_UP, 1000, 1000),
                 }),
                 (ByteTotals{big + 5 + 7, 2 * big + 6 + 8}));
    }

    void liveReadSucceeds()
    {
        const auto rows = readInterfaceCounterRows();
        QVERIFY(rows && readInterfaceByteTotals());
        const InterfaceCounterRow *loopback = findRow(*rows, "lo");
        QVERIFY(loopback && loopback->loopback && !loopback->tunnel);
    }

    void vethTrafficIsCountedAndTunAndLoopbackAreNot()
    {
        if (geteuid() != 0)
            QSKIP("needs root to make private network namespaces");
        if (!QFile::exists(QStringLiteral("/dev/net/tun")))
            QSKIP("no /dev/net/tun on this machine");
        TestNetNamespace a;
        TestNetNamespace b;
        if (!a.isValid() || !b.isValid())
            QSKIP(qPrintable(QStringLiteral("cannot make a network namespace: ") + a.error() + b.error()));

        // No IPv6, so that no neighbour discovery adds bytes while measuring.
        for (const TestNetNamespace *ns : {&a, &b}) {
            bool written = false;
            ns->runInside([&] {
                QFile all(QStringLiteral("/proc/sys/net/ipv6/conf/all/disable_ipv6"));
                QFile fresh(QStringLiteral("/proc/sys/net/ipv6/conf/default/disable_ipv6"));
                written = all.open(QIODevice::WriteOnly) && all.write("1") == 1 &&
                          fresh.open(QIODevice::WriteOnly) && fresh.write("1") == 1;
            });
            QVERIFY(written);
        }
        QVERIFY(a.ip({"link", "add", "va", "type", "veth", "peer", "name", "vb", "netns", b.name()}));
        QVERIFY(a.ip({"addr", "add", "192.0.2.1/24", "dev", "va"}) && a.ip({"link", "set", "va", "up"}));
        QVERIFY(b.ip({"addr", "add", "192.0.2.2/24", "dev", "vb"}) && b.ip({"link", "set", "vb", "up"}));
        QVERIFY(a.ip({"link", "set", "lo", "up"}));

        Fd receiver, sender, loopbackReceiver, tun;
        bool ready = false;
        b.runInside([&] { ready = udpSocket(receiver, "192.0.2.2", 5555); });
        QVERIFY(ready);
        a.runInside([&] {
            ready = udpSocket(sender) && udpSocket(loopbackReceiver, "127.0.0.1", 5556);
            tun.value = open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
            ifreq request = {};
            request.ifr_flags = IFF_TUN | IFF_NO_PI;
            std::strncpy(request.ifr_name, "ntun0", IFNAMSIZ - 1);
            ready = ready && tun.value >= 0 && ioctl(tun.value, TUNSETIFF, &request) == 0;
        });
        QVERIFY(ready);
        QVERIFY(a.ip({"addr", "add", "198.51.100.1/24", "dev", "ntun0"}) &&
                a.ip({"link", "set", "ntun0", "up"}));

        const auto rowsInA = [&] {
            std::optional<std::vector<InterfaceCounterRow>> rows;
            a.runInside([&] { rows = readInterfaceCounterRows(); });
            return rows.value_or(std::vector<InterfaceCounterRow>());
        };
        // The veth end turns operational once the kernel has seen the carrier of both ends.
        for (int i = 0; i < 300; ++i) {
            const auto rows = rowsInA();
            if (findRow(rows, "va") && findRow(rows, "va")->operational)
                break;
            QThread::msleep(10);
        }
        // One datagram first, so that address resolution is done before measuring.
        QVERIFY(sendDatagrams(sender.value, "192.0.2.2", 5555, 1, 100, receiver.value));

        const auto tunIn = [&](const char *name) {
            std::optional<ByteTotals> totals;
            a.runInside([&] { totals = readInterfaceByteTotals(std::string(name)); });
            return totals;
        };
        const auto rowsBefore = rowsInA();
        const auto tunBefore = tunIn("ntun0");
        constexpr int kCount = 20;
        constexpr int kPayload = 1000;
        QVERIFY(sendDatagrams(sender.value, "192.0.2.2", 5555, kCount, kPayload, receiver.value));
        QVERIFY(sendDatagrams(sender.value, "127.0.0.1", 5556, kCount, kPayload, loopbackReceiver.value));
        QVERIFY(sendDatagrams(sender.value, "198.51.100.2", 5557, kCount, kPayload));
        // A TUN counts what it sends once the device's owner has read it.
        char packet[65536];
        for (int i = 0; i < kCount; ++i)
            QCOMPARE(read(tun.value, packet, sizeof packet), static_cast<ssize_t>(kPayload + 8 + 20));
        const auto rowsAfter = rowsInA();
        const auto tunAfter = tunIn("ntun0");

        // Each datagram leaves the veth with UDP (8), IPv4 (20) and Ethernet (14) headers.
        const ByteTotals before = sumCountedInterfaces(rowsBefore);
        const ByteTotals after = sumCountedInterfaces(rowsAfter);
        const std::uint64_t expected = kCount * (kPayload + 8 + 20 + 14);
        QVERIFY2(after.sent - before.sent >= expected && after.sent - before.sent <= expected + 256,
                 qPrintable(QString::number(after.sent - before.sent)));
        QVERIFY2(after.received - before.received <= 256,
                 qPrintable(QString::number(after.received - before.received)));
        // The loopback and the TUN did carry traffic; the totals left it out.
        for (const char *name : {"lo", "ntun0"}) {
            const InterfaceCounterRow *first = findRow(rowsBefore, name);
            const InterfaceCounterRow *second = findRow(rowsAfter, name);
            QVERIFY2(first && second && second->operational, name);
            QVERIFY2(second->sentBytes - first->sentBytes >= kCount * (kPayload + 8 + 20), name);
        }
        // The tunnel's own counters, by name, are exactly what went into it; a missing name has none.
        QVERIFY(tunBefore && tunAfter && !tunIn("nosuch0"));
        QCOMPARE(tunAfter->sent - tunBefore->sent, std::uint64_t(kCount * (kPayload + 8 + 20)));
        QCOMPARE(tunAfter->received, tunBefore->received);
    }
};

QTEST_GUILESS_MAIN(TestNetCounters)
#include "tst_netcounters.moc"
