#include "net/requestenvelope.h"

#include <QTest>

using namespace nimbra::net;

namespace {

QList<QByteArray> headerNames(const QNetworkRequest &request)
{
    return request.rawHeaderList();
}

const std::function<qint64()> fixedClock = [] {
    return qint64(1767225600);
};
const std::function<QByteArray()> fixedNonce = [] {
    return QByteArrayLiteral("0123456789abcdef0123456789abcdef");
};

} // namespace

class TestRequestEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void normalisation()
    {
        QCOMPARE(normalizedPath(QStringLiteral("  /passport/sms/send \t")),
                 QStringLiteral("/passport/sms/send"));
        QCOMPARE(normalizedPath(QStringLiteral("passport/sms/send")), QStringLiteral("/passport/sms/send"));
        QCOMPARE(normalizedPath(QStringLiteral("   ")), QStringLiteral("/"));
        QCOMPARE(normalizedPath(QString()), QStringLiteral("/"));
        // Nothing beyond the leading slash is touched.
        QCOMPARE(normalizedPath(QStringLiteral("//a//b?x=1")), QStringLiteral("//a//b?x=1"));

        QCOMPARE(normalizedBaseUrl(QStringLiteral(" https://api.example.test// ")),
                 QStringLiteral("https://api.example.test"));
        QCOMPARE(normalizedBaseUrl(QStringLiteral("https://h.test/api/")),
                 QStringLiteral("https://h.test/api"));
        QCOMPARE(normalizedBaseUrl(QStringLiteral(" / ")), QString());
    }

    void unsignedRequests()
    {
        const SessionTriple session{7, QStringLiteral("secret"), QStringLiteral("dev-1")};
        int nonceCalls = 0;
        const auto countingNonce = [&nonceCalls] {
            ++nonceCalls;
            return randomNonce();
        };

        QNetworkRequest request =
            buildRequest(QStringLiteral("https://h.test"), QStringLiteral(" passport/sms/send "), "{}", 0,
                         {false, false}, session, fixedClock, countingNonce);
        QCOMPARE(request.url().toString(), QStringLiteral("https://h.test/passport/sms/send"));
        QCOMPARE(headerNames(request), (QList<QByteArray>{"Content-Type", "Accept"}));
        QCOMPARE(request.rawHeader("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.rawHeader("Accept"), QByteArray("application/json"));

        request = buildRequest(QStringLiteral("https://h.test"), QString(), "{}", 0, {false, true}, session,
                               fixedClock, countingNonce);
        QCOMPARE(request.url().toString(), QStringLiteral("https://h.test/"));
        QCOMPARE(headerNames(request), (QList<QByteArray>{"Content-Type", "Accept", "X-Device-Id"}));
        QCOMPARE(request.rawHeader("X-Device-Id"), QByteArray("dev-1"));

        request = buildRequest(QStringLiteral("https://h.test"), QStringLiteral("/x"), "{}", 0, {false, true},
                               SessionTriple{}, fixedClock, countingNonce);
        QCOMPARE(headerNames(request), (QList<QByteArray>{"Content-Type", "Accept"}));
        QCOMPARE(nonceCalls, 0);
    }

    void signedRequestMatchesKnownAnswer()
    {
        // Expected values computed independently (Python hashlib/hmac) from the documented canonical string.
        const SessionTriple session{1, QStringLiteral("s3cret-密钥"), QStringLiteral("dev-设备-01")};
        const QByteArray body = QStringLiteral("{\"game_id\":\"jx3\",\"名\":1}").toUtf8();
        const QNetworkRequest request = buildRequest(
            QStringLiteral("https://h.test/prefix"), QStringLiteral("api/user/points/node-lists"), body,
            Q_INT64_C(9007199254740993), {true, false}, session, fixedClock, fixedNonce);

        QCOMPARE(request.url().toString(),
                 QStringLiteral("https://h.test/prefix/api/user/points/node-lists"));
        QCOMPARE(headerNames(request),
                 (QList<QByteArray>{"Content-Type", "Accept", "X-Guid", "X-Device-Id", "X-Timestamp",
                                    "X-Nonce", "X-Body-SHA256", "X-Signature"}));
        QCOMPARE(request.rawHeader("X-Guid"), QByteArray("9007199254740993"));
        QCOMPARE(request.rawHeader("X-Device-Id"), QStringLiteral("dev-设备-01").toUtf8());
        QCOMPARE(request.rawHeader("X-Timestamp"), QByteArray("1767225600"));
        QCOMPARE(request.rawHeader("X-Nonce"), QByteArray("0123456789abcdef0123456789abcdef"));
        QCOMPARE(request.rawHeader("X-Body-SHA256"),
                 QByteArray("e77af69cb76eadb9c969741a9cdeed20169b54a839b4cd9e8fc8a2f4f7eb9ad8"));
        QCOMPARE(request.rawHeader("X-Signature"),
                 QByteArray("a70307c5610ed4b537477642904a99a963587d5b6de14a1e5602875b88fd5dd8"));
    }

    void signedEdgeCases()
    {
        const SessionTriple session{1, QStringLiteral("k"), QStringLiteral("d")};
        const QNetworkRequest empty = buildRequest(QStringLiteral("https://h.test"), QStringLiteral("/p"), {},
                                                   0, {true, false}, session, fixedClock, fixedNonce);
        QCOMPARE(empty.rawHeader("X-Body-SHA256"),
                 QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
        QCOMPARE(empty.rawHeader("X-Guid"), QByteArray("0"));

        // Same inputs in the same second: fresh nonces, so the signatures differ too.
        const QNetworkRequest first = buildRequest(QStringLiteral("https://h.test"), QStringLiteral("/p"),
                                                   "{}", 5, {true, false}, session, fixedClock, &randomNonce);
        const QNetworkRequest second =
            buildRequest(QStringLiteral("https://h.test"), QStringLiteral("/p"), "{}", 5, {true, false},
                         session, fixedClock, &randomNonce);
        QCOMPARE(first.rawHeader("X-Nonce").size(), 32);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(QString::fromLatin1(first.rawHeader("X-Nonce")))
                    .hasMatch());
        QVERIFY(first.rawHeader("X-Nonce") != second.rawHeader("X-Nonce"));
        QVERIFY(first.rawHeader("X-Signature") != second.rawHeader("X-Signature"));

        // Without a session the request is still built (the callers refuse earlier), with an empty device id.
        const QNetworkRequest noSession =
            buildRequest(QStringLiteral("https://h.test"), QStringLiteral("/p"), "{}", 5, {true, true},
                         SessionTriple{}, fixedClock, fixedNonce);
        QVERIFY(noSession.hasRawHeader("X-Device-Id"));
        QCOMPARE(noSession.rawHeader("X-Device-Id"), QByteArray());
        QCOMPARE(noSession.rawHeader("X-Signature").size(), 64);
    }
};

QTEST_GUILESS_MAIN(TestRequestEnvelope)
#include "tst_requestenvelope.moc"
