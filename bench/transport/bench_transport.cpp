// Transport benchmark.
//  (a) Building one signed request with buildRequest, against the bare hashing that signing needs
//      (SHA-256 of the body and HMAC-SHA256 of an equally long canonical string, same key).
//  (b) 2000 requests queued at once through HttpManager, against 2000 raw QNetworkAccessManager posts
//      from the main thread, both to a keep-alive HTTP/1.1 server on loopback run by this program.
// Measured and floor sides alternate so that drift in machine load hits both alike; medians are
// reported with the floor measured in the same run.
#include "app/runtimelog.h"
#include "net/httpmanager.h"
#include "net/requestenvelope.h"
#include "state/globaldata.h"

#include "common/countoption.h"
#include <QByteArray>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kRequests = 2000;
constexpr int kDefaultRounds = 7;
constexpr int kSignCallsPerBatch = 1000;
constexpr int kSignBatches = 21;
constexpr int kRoundTimeoutMs = 60000;
// A request head larger than this is not one QNetworkAccessManager would send.
constexpr qsizetype kMaxHeadBytes = 64 * 1024;

const QByteArray kAnswerBody = QByteArrayLiteral(R"({"code":1,"msg":"ok","data":{}})");

// What a signed-in client sends: a node-list query of about 300 bytes of compact JSON.
const QByteArray kBody = QByteArrayLiteral(
    R"({"guid":100000123,"game_code":"apex","region":"cn-east","client":{"platform":"windows",)"
    R"("version":"0.1.0","build":"20240611.1","lang":"zh-CN"},"network":{"type":"ethernet","isp":)"
    R"("ctcc","rtt_ms":[31,29,33,30]},"nodes":["sh-01","sh-02","hz-03","nj-01"],"mode":"smart",)"
    R"("page":1,"page_size":20,"ts":1718000000})");

const nimbra::net::SessionTriple kSession{100000123, QStringLiteral("k3Jx9QpV7mZr2LwT8yHn5BdF0cGs4AeU"),
                                          QStringLiteral("5b2f0c7e9a1d4e3f8c6b7a0d1e2f3a4b")};

struct Options
{
    int rounds = kDefaultRounds;
    bool verbose = false;
    // "runtime": the app's runtime log (a file, and standard error silenced while timing);
    // "discard": every message formatted but dropped, to show what the log itself costs.
    QString log = QStringLiteral("runtime");
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Keeps the floor's hashes observable so that no call is optimised away.
qsizetype g_sink = 0;

template<typename Work>
double batchMicros(Work &&work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kSignCallsPerBatch; ++i)
        work();
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kSignCallsPerBatch;
}

struct SignFigures
{
    double measuredUs = 0;
    double floorUs = 0;
    qsizetype canonicalBytes = 0;
};

// The real clock and nonce source, as every request of the app pays them.
SignFigures measureSigning(const QString &baseUrl, const QString &path)
{
    const auto buildSigned = [&] {
        const QNetworkRequest request = nimbra::net::buildRequest(
            baseUrl, path, kBody, kSession.guid, {true, false}, kSession,
            [] { return QDateTime::currentSecsSinceEpoch(); }, &nimbra::net::randomNonce);
        Q_UNUSED(request);
    };

    // The same canonical text buildRequest signs, with a timestamp and nonce of the real lengths.
    const QByteArray bodyHash = QCryptographicHash::hash(kBody, QCryptographicHash::Sha256).toHex();
    const QByteArray canonical = QByteArrayLiteral("POST\n") + path.toUtf8() + QByteArrayLiteral("\nguid=") +
                                 QByteArray::number(kSession.guid) + QByteArrayLiteral("\ndevice_id=") +
                                 kSession.deviceId.toUtf8() + QByteArrayLiteral("\nts=") +
                                 QByteArray::number(QDateTime::currentSecsSinceEpoch()) +
                                 QByteArrayLiteral("\nnonce=") + nimbra::net::randomNonce() +
                                 QByteArrayLiteral("\nbody_sha256=") + bodyHash;
    const QByteArray key = kSession.deviceSecret.toUtf8();
    const auto hashOnly = [&] {
        const QByteArray digest = QCryptographicHash::hash(kBody, QCryptographicHash::Sha256);
        const QByteArray mac = QMessageAuthenticationCode::hash(canonical, key, QCryptographicHash::Sha256);
        g_sink += digest.size() + mac.size();
    };

    batchMicros(buildSigned);
    batchMicros(hashOnly);
    std::vector<double> measured;
    std::vector<double> floor;
    for (int batch = 0; batch < kSignBatches; ++batch) {
        measured.push_back(batchMicros(buildSigned));
        floor.push_back(batchMicros(hashOnly));
    }
    return {median(measured), median(floor), canonical.size()};
}

// A minimal keep-alive HTTP/1.1 server in its own thread: every well-formed POST gets the same small
// success answer. Requests are read one after another per connection; QNetworkAccessManager never
// pipelines unless asked, but back-to-back requests in one read are still served in order.
class LoopbackServer
{
public:
    LoopbackServer()
    {
        m_thread.setObjectName(QStringLiteral("loopback server"));
        m_home->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_home, &QObject::deleteLater);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_home, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }

    ~LoopbackServer()
    {
        m_thread.quit();
        m_thread.wait();
    }

    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    quint16 port() const { return m_port; }
    QString listenError() const { return m_listenError; }
    qint64 protocolErrors() const { return m_protocolErrors.load(); }

private:
    void listen()
    {
        auto *server = new QTcpServer(m_home);
        QObject::connect(server, &QTcpServer::newConnection, server, [this, server] {
            while (QTcpSocket *socket = server->nextPendingConnection())
                adopt(socket);
        });
        if (server->listen(QHostAddress::LocalHost, 0))
            m_port = server->serverPort();
        else
            m_listenError = server->errorString();
    }

    void adopt(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            serve(socket, *buffer);
        });
    }

    void refuse(QTcpSocket *socket, QByteArray &buffer, const QByteArray &status)
    {
        m_protocolErrors.fetch_add(1);
        buffer.clear();
        socket->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    }

    void serve(QTcpSocket *socket, QByteArray &buffer)
    {
        static const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                         "Content-Length: " +
                                         QByteArray::number(kAnswerBody.size()) +
                                         "\r\nConnection: keep-alive\r\n\r\n" + kAnswerBody;
        qsizetype start = 0;
        for (;;) {
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n", start);
            if (headEnd < 0) {
                if (buffer.size() - start > kMaxHeadBytes)
                    return refuse(socket, buffer, "431 Request Header Fields Too Large");
                break;
            }
            const QList<QByteArray> lines = buffer.mid(start, headEnd - start).split('\n');
            const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
            if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
                return refuse(socket, buffer, "400 Bad Request");
            qint64 contentLength = 0;
            bool close = requestLine[2] == "HTTP/1.0";
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray &line = lines[i];
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0)
                    return refuse(socket, buffer, "400 Bad Request");
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "content-length") {
                    bool ok = false;
                    contentLength = value.toLongLong(&ok);
                    if (!ok || contentLength < 0)
                        return refuse(socket, buffer, "400 Bad Request");
                } else if (name == "transfer-encoding") {
                    return refuse(socket, buffer, "501 Not Implemented");
                } else if (name == "connection") {
                    close = value.toLower() == "close";
                }
            }
            const qsizetype bodyStart = headEnd + 4;
            if (buffer.size() - bodyStart < contentLength)
                break;
            start = bodyStart + contentLength;
            socket->write(answer);
            if (close) {
                buffer.clear();
                socket->disconnectFromHost();
                return;
            }
        }
        buffer.remove(0, start);
    }

    QThread m_thread;
    QObject *m_home = new QObject;
    quint16 m_port = 0;
    QString m_listenError;
    std::atomic<qint64> m_protocolErrors{0};
};

struct Round
{
    double seconds = 0;
    int failures = 0;
    QString firstFailure;
};

// Runs the event loop until `answered` reaches kRequests or the round times out.
bool waitForAll(const int &answered, QEventLoop &loop)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(kRoundTimeoutMs);
    if (answered < kRequests)
        loop.exec();
    return answered == kRequests;
}

Round runPipeline(HttpManager &manager, const QString &path)
{
    Round round;
    int answered = 0;
    quint64 firstId = 0;
    quint64 lastId = 0;
    QEventLoop loop;
    const QString operation = QStringLiteral("bench_transport");
    const QMetaObject::Connection connection =
        QObject::connect(&manager, &HttpManager::responseReady, &loop,
                         [&](quint64 id, const QString &, bool success, int status, const QVariantMap &,
                             const QString &message) {
                             if (id < firstId || id > lastId)
                                 return;
                             if (!success || status != 200) {
                                 if (round.failures++ == 0)
                                     round.firstFailure =
                                         QStringLiteral("request #%1: success=%2 status=%3 message=%4")
                                             .arg(id)
                                             .arg(success)
                                             .arg(status)
                                             .arg(message);
                             }
                             if (++answered == kRequests)
                                 loop.quit();
                         });

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRequests; ++i) {
        const quint64 id = manager.postJson(operation, path, kBody, kSession.guid, true, false);
        if (i == 0)
            firstId = id;
        lastId = id;
    }
    const bool complete = waitForAll(answered, loop);
    round.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QObject::disconnect(connection);
    if (!complete) {
        round.failures += kRequests - answered;
        round.firstFailure = QStringLiteral("only %1 of %2 answers within %3 ms; first failure: %4")
                                 .arg(answered)
                                 .arg(kRequests)
                                 .arg(kRoundTimeoutMs)
                                 .arg(round.firstFailure);
    }
    return round;
}

using HeaderList = std::vector<std::pair<QByteArray, QByteArray>>;

// The headers a signed request carries beyond an unsigned one, so that both sides send as many bytes.
HeaderList signingOnlyHeaders(const QString &baseUrl, const QString &path)
{
    const QNetworkRequest signedRequest = nimbra::net::buildRequest(
        baseUrl, path, kBody, kSession.guid, {true, false}, kSession,
        [] { return QDateTime::currentSecsSinceEpoch(); }, &nimbra::net::randomNonce);
    const QNetworkRequest unsignedRequest = nimbra::net::buildRequest(
        baseUrl, path, kBody, kSession.guid, {false, true}, kSession, [] { return qint64(0); },
        [] { return QByteArray(); });
    HeaderList headers;
    for (const QByteArray &name : signedRequest.rawHeaderList()) {
        if (!unsignedRequest.hasRawHeader(name))
            headers.emplace_back(name, signedRequest.rawHeader(name));
    }
    return headers;
}

Round runFloor(QNetworkAccessManager &network, const QString &baseUrl, const QString &path,
               const HeaderList &extraHeaders)
{
    Round round;
    int answered = 0;
    QEventLoop loop;
    const auto clock = [] {
        return QDateTime::currentSecsSinceEpoch();
    };

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRequests; ++i) {
        QNetworkRequest request = nimbra::net::buildRequest(
            baseUrl, path, kBody, kSession.guid, {false, true}, kSession, clock, &nimbra::net::randomNonce);
        for (const auto &[name, value] : extraHeaders)
            request.setRawHeader(name, value);
        QNetworkReply *reply = network.post(request, kBody);
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QByteArray body = reply->readAll();
            if (reply->error() != QNetworkReply::NoError || status != 200 || body != kAnswerBody) {
                if (round.failures++ == 0)
                    round.firstFailure = QStringLiteral("status=%1 error=%2 body=%3")
                                             .arg(status)
                                             .arg(reply->errorString(), QString::fromUtf8(body.left(200)));
            }
            if (++answered == kRequests)
                loop.quit();
        });
    }
    const bool complete = waitForAll(answered, loop);
    round.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!complete) {
        round.failures += kRequests - answered;
        round.firstFailure = QStringLiteral("only %1 of %2 answers within %3 ms; first failure: %4")
                                 .arg(answered)
                                 .arg(kRequests)
                                 .arg(kRoundTimeoutMs)
                                 .arg(round.firstFailure);
    }
    return round;
}

// The runtime log copies every line to standard error; while timing, that copy goes to the null
// device, as it does for the released app started without a console.
class SilencedStderr
{
public:
    SilencedStderr()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }

    ~SilencedStderr()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }

    SilencedStderr(const SilencedStderr &) = delete;
    SilencedStderr &operator=(const SilencedStderr &) = delete;

private:
    int m_saved = -1;
};

double processCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU seconds of every thread of this process by thread name, the main thread as "main". /proc counts
// in clock ticks, so only sums over whole rounds mean anything.
std::map<QString, double> threadCpuSeconds()
{
    std::map<QString, double> result;
    const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    const QString mainThread = QString::number(::getpid());
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "tid (name) state ...": the name may hold spaces; utime and stime are the 12th and 13th
        // fields after it.
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() < 13)
            continue;
        const QString name = tid == mainThread
                                 ? QStringLiteral("main")
                                 : QString::fromUtf8(text.mid(open + 1, close - open - 1)).trimmed();
        result[name] += (fields[11].toDouble() + fields[12].toDouble()) / ticksPerSecond;
    }
    return result;
}

// The samples of one side over its timed rounds.
struct Side
{
    const char *label;
    std::vector<double> rates;
    double cpuSeconds = 0;
    std::map<QString, double> threadSeconds;

    QString cpuSummary() const
    {
        const double requests = static_cast<double>(rates.size()) * kRequests;
        QStringList threads;
        for (const auto &[name, seconds] : threadSeconds) {
            if (seconds > 0)
                threads.append(QStringLiteral("%1 %2").arg(name).arg(seconds * 1e6 / requests, 0, 'f', 0));
        }
        return QStringLiteral("%1 CPU per request: %2 us (by thread: %3)")
            .arg(QLatin1String(label))
            .arg(cpuSeconds * 1e6 / requests, 0, 'f', 0)
            .arg(threads.join(QStringLiteral(", ")));
    }
};

void discardMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

// Warnings and worse from the runtime log, for a failed run.
QStringList runtimeLogProblems(const QString &path)
{
    QFile file(path);
    QStringList problems;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return problems;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.contains(" [INFO] ") && !line.contains(" [DEBUG] "))
            problems.append(QString::fromUtf8(line.trimmed()));
    }
    return problems.mid(std::max<qsizetype>(0, problems.size() - 10));
}

// Both sides compete with whatever else runs; on a loaded machine the side with more threads gets the
// larger share of the processors, so the rates no longer compare the code alone.
void warnIfBusy()
{
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (!loadAverage.open(QIODevice::ReadOnly))
        return;
    bool ok = false;
    const double load = loadAverage.readAll().split(' ').value(0).toDouble(&ok);
    const int processors = QThread::idealThreadCount();
    if (ok && load > processors)
        std::fprintf(stderr,
                     "nimbra_bench_transport: warning: load average %.1f on %d processors; other work "
                     "distorts these figures\n",
                     load, processors);
}

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (argument.startsWith(QLatin1String("--log="))) {
            options.log = argument.mid(6);
            if (options.log != QLatin1String("runtime") && options.log != QLatin1String("discard"))
                return std::nullopt;
        } else if (readCountOption(arguments, i, QStringLiteral("--rounds"), options.rounds) != true) {
            return std::nullopt;
        }
    }
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options) {
        std::fprintf(stderr,
                     "usage: nimbra_bench_transport [--rounds N] [--log=runtime|discard] [--verbose]\n"
                     "  --rounds N     timed pipeline rounds of each side, N >= 1 (default %d)\n"
                     "  --log=runtime  log as the app does, to a runtime log in a temporary directory "
                     "(default)\n"
                     "  --log=discard  format every log message but drop it\n"
                     "  --verbose      every round's figures on standard error\n",
                     kDefaultRounds);
        return 2;
    }

    warnIfBusy();
    const QString path = GlobalData::instance()->acceleratorPcConfigPath();

    // (a) Signing.
    const SignFigures sign = measureSigning(QStringLiteral("http://127.0.0.1:1"), path);
    if (options->verbose)
        std::fprintf(stderr, "body %lld bytes, canonical string %lld bytes\n",
                     static_cast<long long>(kBody.size()), static_cast<long long>(sign.canonicalBytes));

    // (b) Pipeline.
    LoopbackServer server;
    if (server.port() == 0) {
        std::fprintf(stderr, "nimbra_bench_transport: loopback server did not start: %s\n",
                     qPrintable(server.listenError()));
        return 1;
    }
    const QString baseUrl = QStringLiteral("http://127.0.0.1:%1").arg(server.port());

    QTemporaryDir logDirectory;
    if (!logDirectory.isValid()) {
        std::fprintf(stderr, "nimbra_bench_transport: no temporary directory for the runtime log\n");
        return 1;
    }
    const QString runtimeLogPath = logDirectory.filePath(QStringLiteral("runtime.log"));

    Side pipeline{"pipeline", {}, 0, {}};
    Side floor{"floor", {}, 0, {}};
    QStringList verboseLines;
    QStringList failures;
    qint64 protocolErrors = 0;
    {
        SilencedStderr silenced;
        if (options->log == QLatin1String("runtime"))
            nimbra::openRuntimeLog(logDirectory.path());
        else
            qInstallMessageHandler(discardMessage);

        HttpManager manager;
        manager.setBaseUrl(baseUrl);
        manager.setSession(kSession.guid, kSession.deviceSecret, kSession.deviceId);
        QNetworkAccessManager network;
        const HeaderList extraHeaders = signingOnlyHeaders(baseUrl, path);

        // CPU time per request, by thread, shows where the pipeline spends more than the floor; unlike
        // wall time it is hardly disturbed by other work on the machine.
        const auto timed = [&](Side &side, int number, auto &&run) {
            const std::map<QString, double> threadsBefore = threadCpuSeconds();
            const double cpuBefore = processCpuSeconds();
            const Round round = run();
            const double cpuSeconds = processCpuSeconds() - cpuBefore;
            const std::map<QString, double> threadsAfter = threadCpuSeconds();
            if (round.failures > 0) {
                failures.append(QStringLiteral("%1 round %2: %3 of %4 requests failed; %5")
                                    .arg(QLatin1String(side.label))
                                    .arg(number)
                                    .arg(round.failures)
                                    .arg(kRequests)
                                    .arg(round.firstFailure));
                return;
            }
            verboseLines.append(QStringLiteral("%1 round %2: %3 requests/s, %4 us CPU per request")
                                    .arg(QLatin1String(side.label))
                                    .arg(number == 0 ? QStringLiteral("warm-up") : QString::number(number))
                                    .arg(kRequests / round.seconds, 0, 'f', 0)
                                    .arg(cpuSeconds * 1e6 / kRequests, 0, 'f', 0));
            if (number == 0)
                return;
            side.rates.push_back(kRequests / round.seconds);
            side.cpuSeconds += cpuSeconds;
            for (const auto &[name, seconds] : threadsAfter) {
                const auto before = threadsBefore.find(name);
                side.threadSeconds[name] += seconds - (before == threadsBefore.end() ? 0 : before->second);
            }
        };
        const auto pipelineRound = [&](int number) {
            timed(pipeline, number, [&] { return runPipeline(manager, path); });
        };
        const auto floorRound = [&](int number) {
            timed(floor, number, [&] { return runFloor(network, baseUrl, path, extraHeaders); });
        };

        // The warm-up opens every keep-alive connection and fills the allocators' caches.
        pipelineRound(0);
        floorRound(0);
        for (int number = 1; number <= options->rounds && failures.isEmpty(); ++number) {
            // Alternating which side goes first keeps a slow start from always hitting the same side.
            if (number % 2) {
                pipelineRound(number);
                floorRound(number);
            } else {
                floorRound(number);
                pipelineRound(number);
            }
        }
        protocolErrors = server.protocolErrors();

        qInstallMessageHandler(nullptr);
        nimbra::closeRuntimeLog();
    }

    if (protocolErrors > 0)
        failures.append(
            QStringLiteral("the loopback server refused %1 malformed requests").arg(protocolErrors));
    if (!failures.isEmpty()) {
        for (const QString &failure : failures)
            std::fprintf(stderr, "nimbra_bench_transport: %s\n", qPrintable(failure));
        const QStringList problems = runtimeLogProblems(runtimeLogPath);
        if (!problems.isEmpty())
            std::fprintf(stderr, "--- last warnings of the runtime log ---\n%s\n---\n",
                         qPrintable(problems.join(QLatin1Char('\n'))));
        return 1;
    }
    if (options->verbose) {
        for (const QString &line : verboseLines)
            std::fprintf(stderr, "%s\n", qPrintable(line));
        for (const Side *side : {&pipeline, &floor})
            std::fprintf(stderr, "%s\n", qPrintable(side->cpuSummary()));
    }

    const double pipelineRate = median(pipeline.rates);
    const double floorRate = median(floor.rates);
    std::printf("sign_request_us: %.2f\n", sign.measuredUs);
    std::printf("sign_request_floor_us: %.2f\n", sign.floorUs);
    std::printf("sign_request_ratio: %.2f\n", sign.measuredUs / sign.floorUs);
    std::printf("pipeline_requests_per_s: %.0f\n", pipelineRate);
    std::printf("pipeline_floor_requests_per_s: %.0f\n", floorRate);
    std::printf("pipeline_ratio: %.2f\n", pipelineRate / floorRate);
    std::printf("transport_targets: sign_ratio<=2.00 pipeline_ratio>=0.80\n");
    return 0;
}
