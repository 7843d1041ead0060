// The stub core as the client drives it: configuration through a FIFO, level-tagged lines, the
// readiness line, signals and the failure modes of NIMBRA_STUB_CORE_MODE.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString StubPath = QStringLiteral(NIMBRA_STUB_CORE_PATH);
const QByteArray Password = "s3cr3t-PASS";

// The client's readiness pattern and its rule for error lines (after removing colour sequences).
const QRegularExpression ReadyPattern(QStringLiteral(R"((?:sing-box|nimbra-server)\s+started(?:\s|\())"),
                                      QRegularExpression::CaseInsensitiveOption);
const QRegularExpression ErrorWord(QStringLiteral(R"((?:^|\s)(?:ERROR|FATAL|PANIC)(?:\s|$))"),
                                   QRegularExpression::CaseInsensitiveOption);

QJsonObject baseConfig(bool timestamp = false)
{
    return QJsonObject{
        {"log", QJsonObject{{"level", "info"}, {"timestamp", timestamp}}},
        {"inbounds", QJsonArray{QJsonObject{{"type", "tun"},
                                            {"tag", "tun-in"},
                                            {"interface_name", "nimbra-t0"},
                                            {"address", QJsonArray{"172.19.0.1/30"}},
                                            {"mtu", 1350}}}},
        {"outbounds", QJsonArray{QJsonObject{{"type", "shadowsocks"},
                                             {"tag", "proxy-out"},
                                             {"server", "203.0.113.7"},
                                             {"server_port", 443},
                                             {"method", "2022-blake3-aes-128-gcm"},
                                             {"password", QString::fromLatin1(Password)}},
                                 QJsonObject{{"type", "direct"}, {"tag", "direct-out"}}}},
    };
}

QByteArray toJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Changes one key of the first element of "inbounds" or "outbounds" (an undefined value removes it).
QByteArray withFirst(const char *list, const char *key, const QJsonValue &value)
{
    QJsonObject config = baseConfig();
    QJsonArray items = config[list].toArray();
    QJsonObject first = items[0].toObject();
    if (value.isUndefined())
        first.remove(key);
    else
        first[key] = value;
    items[0] = first;
    config[list] = items;
    return toJson(config);
}

QJsonValue setAt(const QJsonValue &node, QStringList path, const QJsonValue &value)
{
    if (path.isEmpty())
        return value;
    const QString head = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const qsizetype index = head.toInt();
        if (index == array.size())
            array.append(setAt(QJsonValue(), path, value));
        else
            array[index] = setAt(array.at(index), path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (path.isEmpty() && value.isUndefined())
        object.remove(head);
    else
        object[head] = setAt(object.value(head), path, value);
    return object;
}

// The client's Linux template with the documentation's examples of the outbounds, DNS servers and
// rules it may hand over; `path` ("outbounds/2/tls") is set to value, or removed for an undefined one.
QByteArray documentedWith(const QString &path = {}, const QJsonValue &value = QJsonValue::Undefined)
{
    QFile file(QStringLiteral(NIMBRA_SOURCE_DIR "/resources/data/config.linux.json"));
    file.open(QIODevice::ReadOnly);
    QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
    const auto tls = [](QJsonObject extra) {
        extra["enabled"] = true;
        extra["server_name"] = "edge.example.test";
        return extra;
    };
    config = setAt(config, {"outbounds", "0", "server"}, "203.0.113.7").toObject();
    config = setAt(config, {"outbounds", "0", "server_port"}, 443).toObject();
    config = setAt(config, {"outbounds", "0", "password"}, QString::fromLatin1(Password)).toObject();
    QJsonArray outbounds = config["outbounds"].toArray();
    outbounds.append(
        QJsonObject{{"type", "vless"},
                    {"tag", "vless-out"},
                    {"server", "edge.example.test"},
                    {"server_port", 443},
                    {"uuid", "bf000d23-0752-40b4-affe-68f7707a9661"},
                    {"flow", "xtls-rprx-vision"},
                    {"packet_encoding", "xudp"},
                    {"domain_resolver", QJsonObject{{"server", "node-dns"}, {"strategy", "ipv4_only"}}},
                    {"tls", tls({{"utls", QJsonObject{{"enabled", true}, {"fingerprint", "chrome"}}}})}});
    outbounds.append(QJsonObject{{"type", "hysteria2"},
                                 {"tag", "hy2-out"},
                                 {"server", "198.51.100.52"},
                                 {"server_port", 8443},
                                 {"up_mbps", 50},
                                 {"down_mbps", 200},
                                 {"obfs", QJsonObject{{"type", "salamander"}, {"password", "o"}}},
                                 {"password", QString::fromLatin1(Password)},
                                 {"tls", tls({{"alpn", QJsonArray{"h3"}}})}});
    config["outbounds"] = outbounds;
    QJsonArray servers = config["dns"].toObject()["servers"].toArray();
    servers.append(
        QJsonObject{{"tag", "node-dns"}, {"type", "udp"}, {"server", "198.51.100.53"}, {"server_port", 53}});
    config = setAt(config, {"dns", "servers"}, servers).toObject();
    config = setAt(config, {"route", "rules", "1"},
                   QJsonObject{{"ip_cidr", QJsonArray{"198.18.0.0/15"}}, {"action", "reject"}})
                 .toObject();
    if (!path.isEmpty())
        config = setAt(config, path.split(QLatin1Char('/')), value).toObject();
    return toJson(config);
}

// Plays the client's writing side: non-blocking opens until the reader is there, then the whole text.
bool serveFifo(const QString &path, const QByteArray &data, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int fd;
    while ((fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
        if (errno != ENXIO || timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t written = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (written <= 0) {
            ::close(fd);
            return false;
        }
        done += written;
    }
    ::close(fd);
    return true;
}

bool fifoHasReader(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

QPair<int, QString> capture(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(5000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

class Stub
{
public:
    Stub(const QStringList &wrapper, const QStringList &arguments, const QString &mode)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("NIMBRA_STUB_CORE_MODE"));
        if (!mode.isEmpty())
            environment.insert(QStringLiteral("NIMBRA_STUB_CORE_MODE"), mode);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList command = wrapper + QStringList{StubPath} + arguments;
        process.start(command.first(), command.mid(1));
        process.waitForStarted(5000);
    }
    ~Stub()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    bool waitFor(const QRegularExpression &pattern, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            output += process.readAll();
            if (pattern.match(text()).hasMatch())
                return true;
            if (process.state() == QProcess::NotRunning || timer.elapsed() > timeoutMs)
                return false;
            process.waitForReadyRead(50);
        }
    }
    bool finish(int timeoutMs = 5000)
    {
        const bool finished = process.waitForFinished(timeoutMs);
        output += process.readAll();
        return finished;
    }
    void signal(int number) const { ::kill(pid_t(process.processId()), number); }
    QString text() const { return QString::fromUtf8(output); }

    QProcess process;
    QByteArray output;
};

} // namespace

class TestStubCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fifos = 0;
    QStringList m_runWrapper; // a private network namespace when root, so host interfaces stay untouched
    QString m_skipRun;

    QString makeFifo()
    {
        const QString path = m_dir.filePath(QStringLiteral("config-%1").arg(++m_fifos));
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            return {};
        ::chmod(QFile::encodeName(path).constData(), 0666); // readable by an unprivileged stub too
        return path;
    }

    std::unique_ptr<Stub> startRun(const QString &mode, const QByteArray &config = toJson(baseConfig()),
                                   const QStringList &extra = {QStringLiteral("--disable-color")},
                                   const QStringList &wrapper = {}, QString *fifoPath = nullptr)
    {
        const QString fifo = makeFifo();
        if (fifoPath)
            *fifoPath = fifo;
        auto stub = std::make_unique<Stub>(
            wrapper.isEmpty() ? m_runWrapper : wrapper,
            QStringList{QStringLiteral("run"), QStringLiteral("-c"), fifo} + extra, mode);
        if (fifo.isEmpty() || !serveFifo(fifo, config, 5000))
            return nullptr;
        return stub;
    }

private slots:
    void initTestCase()
    {
        std::signal(SIGPIPE, SIG_IGN);
        QVERIFY(m_dir.isValid());
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0711);
        QVERIFY2(QFileInfo(StubPath).isExecutable(), qPrintable(StubPath));
        if (::geteuid() == 0) {
            if (capture(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("true")}).first ==
                0)
                m_runWrapper = QStringList{QStringLiteral("unshare"), QStringLiteral("--net")};
            else
                m_skipRun =
                    QStringLiteral("root without `unshare --net`: a run could create a host interface");
        }
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("message"); // after "FATAL[0000] "; %1 = the pipe; empty: valid

        QTest::newRow("valid") << toJson(baseConfig()) << QString();
        QTest::newRow("port 65535") << withFirst("outbounds", "server_port", 65535) << QString();
        QTest::newRow("ipv6 beside ipv4")
            << withFirst("inbounds", "address", QJsonArray{"fdfe::1/126", "172.19.0.1/30"}) << QString();
        QTest::newRow("empty") << QByteArray() << "decode config at %1: unexpected end of JSON input";
        QTest::newRow("truncated") << toJson(baseConfig()).chopped(3)
                                   << "decode config at %1: unexpected end of JSON input";
        QTest::newRow("binary")
            << QByteArray("\x01{", 2)
            << "decode config at %1: invalid character '\\x01' looking for beginning of value";
        QTest::newRow("trailing") << toJson(baseConfig()) + "}"
                                  << "decode config at %1: invalid character '}' after top-level value";
        QTest::newRow("deep nesting") << QByteArray(100000, '[') << "decode config at %1: exceeded max depth";
        QTest::newRow("array") << QByteArray("[]") << "decode config at %1: expected an object, got array";
        QTest::newRow("no inbounds") << QByteArray(R"({"outbounds":[]})")
                                     << "create service: missing inbounds";
        QTest::newRow("inbounds object")
            << QByteArray(R"({"inbounds":{}})")
            << "decode config at %1: inbounds: json: cannot unmarshal object into Go value of type []struct";
        QTest::newRow("no tun") << withFirst("inbounds", "type", "mixed")
                                << "decode config at %1: inbounds[0].type: unknown inbound type: mixed";
        QTest::newRow("tun without name")
            << withFirst("inbounds", "interface_name", QJsonValue::Undefined)
            << "create service: initialize inbound/tun[tun-in]: missing interface_name";
        QTest::newRow("tun without address")
            << withFirst("inbounds", "address", QJsonArray())
            << "create service: initialize inbound/tun[tun-in]: missing address";
        QTest::newRow("bad address")
            << withFirst("inbounds", "address", "172.19.0.256/30")
            << R"(create service: initialize inbound/tun[tun-in]: invalid address "172.19.0.256/30")";
        QTest::newRow("ipv6 only") << withFirst("inbounds", "address", "fdfe::1/126")
                                   << "create service: initialize inbound/tun[tun-in]: missing IPv4 address";
        QTest::newRow("outbound without type") << withFirst("outbounds", "type", QJsonValue::Undefined)
                                               << "decode config at %1: outbounds[0]: missing outbound type";
        QTest::newRow("no server")
            << withFirst("outbounds", "server", "")
            << "create service: initialize outbound/shadowsocks[proxy-out]: missing server";
        QTest::newRow("port 0")
            << withFirst("outbounds", "server_port", 0)
            << "create service: initialize outbound/shadowsocks[proxy-out]: invalid server_port";
        for (const QJsonValue &port : {QJsonValue(65536), QJsonValue("443"), QJsonValue(443.5)})
            QTest::addRow("port %s",
                          QJsonDocument(QJsonArray{port}).toJson(QJsonDocument::Compact).constData())
                << withFirst("outbounds", "server_port", port)
                << QStringLiteral("decode config at %1: outbounds[0].server_port: json: cannot unmarshal ") +
                       (port.isString() ? "string" : "number") + " into Go value of type uint16";
        QJsonObject directOnly = baseConfig();
        directOnly["outbounds"] = QJsonArray{QJsonObject{{"type", "direct"}}};
        QTest::newRow("direct only")
            << toJson(directOnly)
            << "create service: missing proxy outbound (one with server and server_port)";

        // The documented structure of the oldest supported core: each object's keys, types and
        // required fields, and the rules across fields.
        const QString decode = QStringLiteral("decode config at %1: ");
        const QString unknown = decode + QStringLiteral("%2: json: unknown field \"%3\"");
        QTest::newRow("documented examples") << documentedWith() << QString();
        QTest::newRow("legacy DNS server")
            << documentedWith("dns/servers/1",
                              QJsonObject{{"tag", "node-dns"}, {"address", "tls://198.51.100.53"}})
            << QString();
        const QList<QPair<const char *, const char *>> unknownKeys = {
            {"experimentl", "experimentl"},
            {"log/color", "log.color"},
            {"dns/servers/1/address_resolver", "dns.servers[1].address_resolver"},
            {"inbounds/0/inet4_address", "inbounds[0].inet4_address"},
            {"outbounds/2/address", "outbounds[2].address"},
            {"outbounds/2/tls/certificate_file", "outbounds[2].tls.certificate_file"},
            {"outbounds/2/tls/utls/fingerprints", "outbounds[2].tls.utls.fingerprints"},
            {"outbounds/3/obfs/salt", "outbounds[3].obfs.salt"},
            {"route/rules/0/outbound_tag", "route.rules[0].outbound_tag"},
        };
        for (const auto &[path, where] : unknownKeys)
            QTest::addRow("unknown %s", path)
                << documentedWith(path, "x") << unknown.arg("%1", where, QString(path).section('/', -1));
        QTest::newRow("string for a number")
            << documentedWith("outbounds/3/up_mbps", "50")
            << decode + "outbounds[3].up_mbps: json: cannot unmarshal string into Go value of type uint32";
        QTest::newRow("number in a list of strings")
            << documentedWith("route/rules/0/inbound", QJsonArray{"tun-in", 5})
            << decode +
                   "route.rules[0].inbound[1]: json: cannot unmarshal number into Go value of type []string";
        QTest::newRow("bool for an object")
            << documentedWith("outbounds/2/tls", true)
            << decode + "outbounds[2].tls: json: cannot unmarshal bool into Go value of type struct";
        QTest::newRow("no uuid") << documentedWith("outbounds/2/uuid")
                                 << decode + "outbounds[2]: missing uuid";
        QTest::newRow("no DNS server address")
            << documentedWith("dns/servers/1/server") << decode + "dns.servers[1]: missing server";
        QTest::newRow("unknown type") << documentedWith("outbounds/2/type", "vmess")
                                      << decode + "outbounds[2].type: unknown outbound type: vmess";
        QTest::newRow("unknown stack") << documentedWith("inbounds/0/stack", "lwip")
                                       << decode + "inbounds[0].stack: unknown value \"lwip\"";
        QTest::newRow("endpoint-independent NAT off gvisor")
            << documentedWith("inbounds/0/stack", "system")
            << "create service: initialize inbound/tun[tun-in]: endpoint_independent_nat is only available "
               "on the "
               "gvisor stack";
        QTest::newRow("hysteria2 without TLS")
            << documentedWith("outbounds/3/tls/enabled", false)
            << "create service: initialize outbound/hysteria2[hy2-out]: TLS required";
        QTest::newRow("resolver not configured")
            << documentedWith("outbounds/2/domain_resolver", "remote-dns")
            << "create service: initialize outbound/vless[vless-out]: domain resolver not found: remote-dns";
        QTest::newRow("rule to a missing outbound")
            << documentedWith("route/rules/0/outbound", "proxy")
            << "create service: route.rules[0]: outbound not found: proxy";
        QTest::newRow("outbound on a reject rule")
            << documentedWith("route/rules/1/outbound", "direct-out")
            << unknown.arg("%1", "route.rules[1].outbound", "outbound");
    }

    void check()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, message);
        const QString fifo = makeFifo();
        QVERIFY(!fifo.isEmpty());
        Stub stub(
            {}, {QStringLiteral("check"), QStringLiteral("-c"), fifo, QStringLiteral("--disable-color")}, {});
        QVERIFY(serveFifo(fifo, config, 5000));
        QVERIFY(stub.finish());
        QCOMPARE(stub.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stub.process.exitCode(), message.isEmpty() ? 0 : 1);
        QCOMPARE(stub.text().trimmed(),
                 message.isEmpty() ? QString() : "FATAL[0000] " + message.replace("%1", fifo));
        QVERIFY(!stub.output.contains(Password));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %d = a temporary directory
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("pattern");

        const QStringList check{"check", "-c", "%d/none.json"};
        QTest::newRow("missing file")
            << check + QStringList{"--disable-color"} << QString() << 1
            << R"(^FATAL\[0000\] read config at \S+/none.json: open \S+/none.json: )"
               "no such file or directory$";
        QTest::newRow("coloured level")
            << check << QString() << 1 << "^\x1b\\[31mFATAL\x1b\\[0m\\[0000\\] read config at ";
        QTest::newRow("working directory")
            << QStringList{"-D", "%d", "check", "--config=none.json", "--disable-color"} << QString() << 1
            << "^FATAL\\[0000\\] read config at none.json: open";
        QTest::newRow("unknown flag")
            << QStringList{"check", "--bogus"} << QString() << 1 << "^Error: unknown flag: --bogus\nUsage:";
        QTest::newRow("unknown command") << QStringList{"serve"} << QString() << 1
                                         << R"(^Error: unknown command "serve" for "nimbra-server")";
        QTest::newRow("flag without value")
            << QStringList{"check", "-c"} << QString() << 1 << "^Error: flag needs an argument: -c";
        const QStringList badModes{
            "fast",          "exit-during-start=abc", "exit-during-start=256",     "never-ready=1",
            "slow-ready=-5", "crash-after=1:boom",    "never-open-pipe=sometimes", "log-rate=0"};
        for (const QString &mode : badModes)
            QTest::addRow("mode %s", qPrintable(mode))
                << check + QStringList{"--disable-color"} << "never-ready," + mode << 64
                << "^FATAL\\[0000\\] NIMBRA_STUB_CORE_MODE: .* in \"" + QRegularExpression::escape(mode) +
                       "\"$";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mode);
        QFETCH(int, exitCode);
        QFETCH(QString, pattern);
        arguments.replaceInStrings(QStringLiteral("%d"), m_dir.path());
        Stub stub({}, arguments, mode);
        QVERIFY(stub.finish());
        QCOMPARE(stub.process.exitCode(), exitCode);
        QVERIFY2(QRegularExpression(pattern).match(stub.text().trimmed()).hasMatch(),
                 qPrintable(stub.text()));
    }

    void runReadyAndStop_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("readyLine");

        QTest::newRow("SIGTERM, plain")
            << int(SIGTERM) << toJson(baseConfig()) << QStringList{"--disable-color"}
            << R"(^INFO\[0000\] sing-box started \(\d+\.\d\ds\)$)";
        QTest::newRow("SIGINT, coloured") << int(SIGINT) << toJson(baseConfig()) << QStringList()
                                          << "^\x1b\\[36mINFO\x1b\\[0m\\[0000\\] sing-box started \\(";
        QTest::newRow("log.timestamp")
            << int(SIGTERM) << toJson(baseConfig(true)) << QStringList{"--disable-color"}
            << R"(^[+-]\d{4} \d{4}-\d\d-\d\d \d\d:\d\d:\d\d INFO sing-box started \()";
    }

    void runReadyAndStop()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        QFETCH(int, signal);
        QFETCH(QByteArray, config);
        QFETCH(QStringList, extra);
        QFETCH(QString, readyLine);
        QString fifo;
        auto stub = startRun({}, config, extra, {}, &fifo);
        QVERIFY(stub);
        QVERIFY2(stub->waitFor(ReadyPattern, 5000), qPrintable(stub->text()));
        QVERIFY2(
            QRegularExpression(readyLine, QRegularExpression::MultilineOption).match(stub->text()).hasMatch(),
            qPrintable(stub->text()));
        // Ready only after the TUN step, and the pipe is read exactly once.
        QVERIFY(stub->text().indexOf(QStringLiteral("inbound/tun[tun-in]:")) <
                stub->text().indexOf(ReadyPattern));
        QVERIFY(!fifoHasReader(fifo));

        stub->signal(signal);
        QVERIFY(stub->finish());
        QCOMPARE(stub->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stub->process.exitCode(), 0);
        QVERIFY2(stub->text().trimmed().endsWith(QStringLiteral("sing-box closed")),
                 qPrintable(stub->text()));
        QVERIFY(!stub->output.contains(Password));
    }

    void neverReadyAndExitDuringStart()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        auto idle = startRun(QStringLiteral("never-ready"));
        QVERIFY(idle);
        QVERIFY(!idle->waitFor(ReadyPattern, 1500));
        QCOMPARE(idle->process.state(), QProcess::Running);
        QVERIFY(idle->text().contains(QStringLiteral("inbound/tun[tun-in]:")));
        idle->process.terminate();
        QVERIFY(idle->finish());
        QCOMPARE(idle->process.exitCode(), 0);

        auto quitting = startRun(QStringLiteral("exit-during-start=3"));
        QVERIFY(quitting); // the configuration was read before the exit
        QVERIFY(quitting->finish());
        QCOMPARE(quitting->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quitting->process.exitCode(), 3);
        QCOMPARE(quitting->text().trimmed(),
                 QStringLiteral("FATAL[0000] start service: stub exit-during-start (exit code 3)"));
    }

    void neverOpenPipe_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("checkBlocked");
        QTest::addColumn<bool>("runBlocked");
        QTest::newRow("both") << "never-open-pipe" << true << true;
        QTest::newRow("check") << "never-open-pipe=check" << true << false;
        QTest::newRow("run") << "never-open-pipe=run" << false << true;
    }

    void neverOpenPipe()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        QFETCH(QString, mode);
        QFETCH(bool, checkBlocked);
        QFETCH(bool, runBlocked);
        for (const QString &command : {QStringLiteral("check"), QStringLiteral("run")}) {
            const bool blocked = command == QLatin1String("check") ? checkBlocked : runBlocked;
            const QString fifo = makeFifo();
            Stub stub(command == QLatin1String("run") ? m_runWrapper : QStringList(),
                      {command, QStringLiteral("-c"), fifo, QStringLiteral("--disable-color")}, mode);
            QCOMPARE(serveFifo(fifo, toJson(baseConfig()), 700), !blocked);
            if (blocked)
                QCOMPARE(stub.process.state(), QProcess::Running);
            else if (command == QLatin1String("check"))
                QVERIFY(stub.finish() && stub.process.exitCode() == 0);
            else
                QVERIFY(stub.waitFor(ReadyPattern, 5000));
            if (stub.process.state() != QProcess::NotRunning) {
                stub.process.terminate();
                QVERIFY(stub.finish());
            }
        }
    }

    void checkFail()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        const QString mode = QStringLiteral("check-fail=线路不可用 (test)");
        const QString fifo = makeFifo();
        Stub check({},
                   {QStringLiteral("check"), QStringLiteral("-c"), fifo, QStringLiteral("--disable-color")},
                   mode);
        QVERIFY(serveFifo(fifo, toJson(baseConfig()), 5000));
        QVERIFY(check.finish());
        QCOMPARE(check.process.exitCode(), 1);
        QCOMPARE(check.text().trimmed(), QStringLiteral("FATAL[0000] 线路不可用 (test)"));

        auto run = startRun(mode); // the mode is for check only
        QVERIFY(run && run->waitFor(ReadyPattern, 5000));
    }

    void crashAfter_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QProcess::ExitStatus>("status");
        QTest::newRow("go panic") << "crash-after=0.3" << QProcess::NormalExit;
        QTest::newRow("signal") << "crash-after=0.3:signal" << QProcess::CrashExit;
    }

    void crashAfter()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        QFETCH(QString, mode);
        QFETCH(QProcess::ExitStatus, status);
        // Timed from before the start, so that how late this side reads the ready line does not count.
        QElapsedTimer sinceStart;
        sinceStart.start();
        auto stub = startRun(mode);
        QVERIFY(stub && stub->waitFor(ReadyPattern, 5000));
        QVERIFY(stub->finish());
        QVERIFY2(sinceStart.elapsed() >= 300, qPrintable(QString::number(sinceStart.elapsed())));
        QCOMPARE(stub->process.exitStatus(), status);
        if (status == QProcess::NormalExit) {
            QCOMPARE(stub->process.exitCode(), 2);
            QVERIFY(stub->text().contains(QStringLiteral("\npanic: stub crash-after")));
        }
    }

    void errorLinesAsTheClientSeesThem()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        // The client's template sets log.timestamp, which puts white space after the level word.
        auto stub = startRun(QStringLiteral("error-lines"), toJson(baseConfig(true)), {});
        QVERIFY(stub);
        QVERIFY(stub->waitFor(QRegularExpression(QStringLiteral("keeps running\\)\n")), 5000));
        QString plain = stub->text();
        plain.remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;]*m")));
        const QStringList lines = plain.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const auto ready = std::find_if(lines.begin(), lines.end(), [](const QString &line) {
            return ReadyPattern.match(line).hasMatch();
        });
        QVERIFY(ready != lines.end());
        const QStringList errors = lines.filter(ErrorWord);
        QCOMPARE(errors.size(), 3);
        QVERIFY(lines.indexOf(errors.first()) > ready - lines.begin());
        QVERIFY(errors.last().contains(QStringLiteral(" FATAL stub error-lines:")));
        QCOMPARE(stub->process.state(), QProcess::Running);
    }

    void slowAndSplitReady()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        QElapsedTimer timer;
        timer.start();
        auto slow = startRun(QStringLiteral("slow-ready=600"));
        QVERIFY(slow && slow->waitFor(ReadyPattern, 5000));
        QVERIFY2(timer.elapsed() >= 600, qPrintable(QString::number(timer.elapsed())));

        // Read chunk by chunk the way the client scans: each chunk trimmed, joined without separator.
        auto split = startRun(QStringLiteral("split-ready"));
        QVERIFY(split);
        QString scan;
        bool sawFirstHalf = false;
        timer.restart();
        while (!ReadyPattern.match(scan).hasMatch() && timer.elapsed() < 5000) {
            if (!split->process.waitForReadyRead(100))
                continue;
            const QString chunk = QString::fromUtf8(split->process.readAll()).trimmed();
            if (chunk.endsWith(QStringLiteral("Sing-B"))) {
                sawFirstHalf = true;
                QVERIFY(!ReadyPattern.match(scan + chunk).hasMatch());
            }
            scan += chunk;
        }
        QVERIFY(sawFirstHalf);
        QVERIFY(scan.contains(QStringLiteral("INFO[0000] Sing-Box STARTED (")));
    }

    void invalidLinuxInterfaceName()
    {
        if (!m_skipRun.isEmpty())
            QSKIP(qPrintable(m_skipRun));
        const QByteArray config = withFirst("inbounds", "interface_name", "Microsoft Wi-Fi");
        const QString fifo = makeFifo();
        Stub check(
            {}, {QStringLiteral("check"), QStringLiteral("-c"), fifo, QStringLiteral("--disable-color")}, {});
        QVERIFY(serveFifo(fifo, config, 5000));
        QVERIFY(check.finish() && check.process.exitCode() == 0);

        auto run = startRun({}, config);
        QVERIFY(run && run->finish());
        QCOMPARE(run->process.exitCode(), 1);
        QVERIFY(run->text().contains(
            QStringLiteral("FATAL[0000] start service: start inbound/tun[tun-in]: configure tun interface: "
                           "invalid name \"Microsoft Wi-Fi\"")));
        QVERIFY(!ReadyPattern.match(run->text()).hasMatch());
    }

    void tunInterfaceInPrivateNamespace()
    {
        if (::geteuid() != 0 || m_runWrapper.isEmpty())
            QSKIP(
                "needs root and `unshare --net`: the interface is only ever created in a private namespace");
        auto stub = startRun({});
        QVERIFY(stub && stub->waitFor(ReadyPattern, 5000));
        QVERIFY2(stub->text().contains(
                     QStringLiteral("inbound/tun[tun-in]: started at nimbra-t0 (172.19.0.1/30)")),
                 qPrintable(stub->text()));
        const QString ns = QStringLiteral("/proc/%1/ns/net").arg(stub->process.processId());
        // Holding the namespace keeps it alive after the stub exits, to see the interface go.
        const int nsFd = ::open(QFile::encodeName(ns).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(nsFd >= 0);
        const QString held = QStringLiteral("--net=/proc/%1/fd/%2").arg(::getpid()).arg(nsFd);

        const auto address =
            capture(QStringLiteral("nsenter"), {held, "ip", "-o", "-4", "addr", "show", "dev", "nimbra-t0"});
        QVERIFY2(address.second.contains(QStringLiteral("inet 172.19.0.1/30")), qPrintable(address.second));
        const auto link =
            capture(QStringLiteral("nsenter"), {held, "ip", "-o", "link", "show", "dev", "nimbra-t0"});
        QVERIFY2(link.second.contains(QStringLiteral(",UP")) &&
                     link.second.contains(QStringLiteral("mtu 1350")),
                 qPrintable(link.second));
        QVERIFY(capture(QStringLiteral("ip"), {"-o", "link", "show", "dev", "nimbra-t0"}).first !=
                0); // not on the host

        stub->process.terminate();
        QVERIFY(stub->finish());
        QCOMPARE(stub->process.exitCode(), 0);
        QVERIFY(stub->text().contains(QStringLiteral("inbound/tun[tun-in]: removed nimbra-t0")));
        const auto after = capture(QStringLiteral("nsenter"), {held, "ip", "-o", "link", "show"});
        ::close(nsFd);
        QVERIFY2(after.second.contains(QStringLiteral(": lo:")) &&
                     !after.second.contains(QStringLiteral("nimbra-t0")),
                 qPrintable(after.second));
    }

    void tunWithoutPrivilege()
    {
        QStringList wrapper;
        if (::geteuid() == 0) {
            if (m_runWrapper.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                QSKIP("needs `unshare --net` and `setpriv` to drop root for the stub");
            wrapper = m_runWrapper + QStringList{"setpriv", "--reuid=65534", "--regid=65534",
                                                 "--clear-groups", "--inh-caps=-all"};
        }
        auto stub = startRun({}, toJson(baseConfig()), {QStringLiteral("--disable-color")}, wrapper);
        QVERIFY(stub && stub->waitFor(ReadyPattern, 5000));
        QVERIFY2(QRegularExpression(
                     QStringLiteral(R"(\nWARN\[0000\] inbound/tun\[tun-in\]: interface nimbra-t0 )"
                                    R"(\(172\.19\.0\.1/30\) not created \(.+\); carrying on without it\n)"))
                     .match(stub->text())
                     .hasMatch(),
                 qPrintable(stub->text()));
        stub->process.terminate();
        QVERIFY(stub->finish() && stub->process.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(TestStubCore)
#include "tst_stubcore.moc"
