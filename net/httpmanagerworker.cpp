#include "net/httpmanagerworker.h"

#include "state/servermessages.h"

#include <QDateTime>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cstring>

namespace {

const char *const kRequestIdTag = "httpRequestId";
const char *const kOperationTag = "httpOperation";
const char *const kStartedAtTag = "httpStartedAt";
// The clock offset a signed request was signed with.
const char *const kSignedOffsetTag = "httpSignedOffset";
// Why the worker itself aborted a reply, if it did.
const char *const kAbortReasonTag = "httpAbortReason";
const char *const kOversizeReason = "oversize";
const char *const kDeadlineReason = "deadline";

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString networkErrorMessage()
{
    return QStringLiteral("网络请求失败，请检查网络连接后重试");
}

// A request body that can be read once and never rewound. The network access manager sends a request
// again when its connection closes before the answer, as long as it can rewind the body; a POST must
// not be (an order would be placed twice, a signed request refused as a replay), so it ends with
// ContentReSendError instead.
class SendOnceBody : public QIODevice
{
public:
    explicit SendOnceBody(const QByteArray &body)
        : m_body(body)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override
    {
        return m_body.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = qMin(maxSize, m_body.size() - m_position);
        memcpy(data, m_body.constData() + m_position, static_cast<size_t>(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_body;
    qint64 m_position = 0;
};

// The service's clock carried by an answer (`server_time`, at the top or in `data`), Unix seconds;
// 0 when there is none or it is not a plausible time.
qint64 serverTime(const QJsonObject &object)
{
    const QJsonValue candidates[] = {
        object.value(QLatin1String("server_time")),
        object.value(QLatin1String("data")).toObject().value(QLatin1String("server_time"))};
    for (const QJsonValue &value : candidates) {
        const double seconds = value.toDouble();
        if (value.isDouble() && seconds > 1.5e9 && seconds < 4.1e9)
            return static_cast<qint64>(seconds);
    }
    return 0;
}

// What a refusal of a signed request says when the clock it was signed with was off by `drift`
// seconds (positive: this computer is behind the service).
QString wrongClockMessage(qint64 drift)
{
    const qint64 minutes = qMax<qint64>(1, (qAbs(drift) + 30) / 60);
    return QStringLiteral("电脑时间不准确：比服务器%1约 %2 分钟，已按服务器时间校正，请重试")
        .arg(drift > 0 ? QStringLiteral("慢") : QStringLiteral("快"), QString::number(minutes));
}

} // namespace

HttpManagerWorker::HttpManagerWorker(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_baseUrl(nimbra::net::normalizedBaseUrl(baseUrl))
{}

void HttpManagerWorker::initialize()
{
    if (m_network)
        return;
    m_network = new QNetworkAccessManager(this);
    m_network->setTransferTimeout(m_transferTimeoutMs);
    emit trace(QStringLiteral("[HTTP worker] 网络线程已初始化"));
}

void HttpManagerWorker::setBaseUrl(const QString &url)
{
    const QString normalized = nimbra::net::normalizedBaseUrl(url);
    if (normalized.isEmpty())
        return;
    m_baseUrl = normalized;
    emit trace(QStringLiteral("[HTTP worker] baseUrl=%1").arg(m_baseUrl));
}

void HttpManagerWorker::setRequestTimeout(int milliseconds)
{
    m_requestTimeoutMs = milliseconds;
}

void HttpManagerWorker::setDeviceId(const QString &deviceId)
{
    m_session.deviceId = deviceId.trimmed();
}

void HttpManagerWorker::setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId)
{
    m_session.guid = guid;
    m_session.deviceSecret = deviceSecret.trimmed();
    m_session.deviceId = deviceId.trimmed();
    emit trace(
        QStringLiteral("[HTTP worker] 会话已设置 guid=%1 deviceId=%2 secret=%3")
            .arg(QString::number(guid),
                 m_session.deviceId.isEmpty() ? QStringLiteral("<empty>") : m_session.deviceId,
                 m_session.deviceSecret.isEmpty() ? QStringLiteral("<empty>") : QStringLiteral("<set>")));
}

void HttpManagerWorker::clearSession()
{
    // The device id belongs to the installation, not to the session: the next sign-in sends it again.
    m_session.guid = 0;
    m_session.deviceSecret.clear();
    emit trace(QStringLiteral("[HTTP worker] 会话已清除"));
}

void HttpManagerWorker::setTransferTimeout(int milliseconds)
{
    m_transferTimeoutMs = milliseconds;
    if (m_network)
        m_network->setTransferTimeout(milliseconds);
}

void HttpManagerWorker::postJson(quint64 requestId, const QString &operation, const QString &path,
                                 const QByteArray &body, qint64 guid, bool signedRequest, bool withDeviceId)
{
    if (!m_network)
        initialize();
    emit trace(QStringLiteral("[HTTP worker] 发送 #%1 op=%2 path=%3 guid=%4 body=%5 bytes")
                   .arg(QString::number(requestId), operation, path, QString::number(guid),
                        QString::number(body.size())));

    const qint64 offset = m_clockOffset;
    QNetworkRequest request = nimbra::net::buildRequest(
        m_baseUrl, path, body, guid, {signedRequest, withDeviceId}, m_session,
        [offset] { return QDateTime::currentSecsSinceEpoch() + offset; }, &nimbra::net::randomNonce);
    // Unbuffered, so the manager cannot rewind the body and send it twice (see SendOnceBody).
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto *upload = new SendOnceBody(body);
    QNetworkReply *reply = m_network->post(request, upload);
    upload->setParent(reply);
    reply->setProperty(kRequestIdTag, QVariant::fromValue(requestId));
    reply->setProperty(kOperationTag, operation);
    reply->setProperty(kStartedAtTag, QDateTime::currentMSecsSinceEpoch());
    if (signedRequest)
        reply->setProperty(kSignedOffsetTag, offset);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { handleReply(reply); });
    guardReply(reply);
}

void HttpManagerWorker::followServerClock(qint64 serverOffset)
{
    // The answers come from the service over its own connection, so its time is trusted as the
    // signing time: the service's time window still bounds replays.
    const qint64 offset = qAbs(serverOffset) < kClockToleranceSeconds ? 0 : serverOffset;
    if (qAbs(offset - m_clockOffset) < kClockToleranceSeconds)
        return;
    m_clockOffset = offset;
    emit trace(
        offset == 0
            ? QStringLiteral("[HTTP worker] 本机时钟与服务器一致，签名不再校正时间")
            : QStringLiteral("[HTTP worker] 本机时钟与服务器相差 %1 秒，签名已按服务器时间校正").arg(offset));
}

void HttpManagerWorker::guardReply(QNetworkReply *reply)
{
    const auto abortFor = [reply](const char *reason) {
        if (reply->isFinished())
            return;
        reply->setProperty(kAbortReasonTag, QByteArray(reason));
        reply->abort();
    };
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [abortFor] { abortFor(kDeadlineReason); });
    deadline->start(m_requestTimeoutMs);

    // A declared length over the bound is refused before any of the body is read; an undeclared one
    // is cut off as soon as the bound is passed.
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, abortFor] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMaxReplyBytes)
            abortFor(kOversizeReason);
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, abortFor](qint64 received, qint64) {
        if (received > kMaxReplyBytes || reply->bytesAvailable() > kMaxReplyBytes)
            abortFor(kOversizeReason);
    });
}

void HttpManagerWorker::handleReply(QNetworkReply *reply)
{
    reply->deleteLater();
    const quint64 requestId = reply->property(kRequestIdTag).toULongLong();
    const QString operation = reply->property(kOperationTag).toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An aborted reply (time-out) is closed; reading it would only warn.
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const qint64 startedAt = reply->property(kStartedAtTag).toLongLong();
    const qint64 elapsed = startedAt > 0 ? QDateTime::currentMSecsSinceEpoch() - startedAt : -1;
    const QString head =
        QStringLiteral("[HTTP worker] 完成 #%1 op=%2 success=%3 status=%4 elapsed=%5ms bytes=%6 ");

    const QByteArray abortReason = reply->property(kAbortReasonTag).toByteArray();
    if (abortReason == kOversizeReason) {
        emit trace(head.arg(QString::number(requestId), operation, boolText(false), QString::number(status),
                            QString::number(elapsed), QString::number(body.size())) +
                   QStringLiteral("error=reply over %1 bytes refused").arg(kMaxReplyBytes));
        emit responseReady(requestId, operation, false, status, {}, QStringLiteral("服务器返回数据格式错误"));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        QString error = reply->errorString().trimmed();
        if (abortReason == kDeadlineReason)
            error = QStringLiteral("no complete reply within %1 ms").arg(m_requestTimeoutMs);
        else if (reply->error() == QNetworkReply::ContentReSendError)
            error = QStringLiteral("connection closed before the answer (not sent again)");
        emit trace(head.arg(QString::number(requestId), operation, boolText(false), QString::number(status),
                            QString::number(elapsed), QString::number(body.size())) +
                   QStringLiteral("error=") + (error.isEmpty() ? QStringLiteral("unknown") : error));
        emit responseReady(requestId, operation, false, status, {}, networkErrorMessage());
        return;
    }

    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        const QString reason = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                            : QStringLiteral("not an object");
        emit trace(head.arg(QString::number(requestId), operation, boolText(false), QString::number(status),
                            QString::number(elapsed), QString::number(body.size())) +
                   QStringLiteral("JSON解析失败=") + reason);
        emit responseReady(requestId, operation, false, status, {}, QStringLiteral("服务器返回数据格式错误"));
        return;
    }

    const QJsonObject object = document.object();
    const bool success = object.value(QLatin1String("code")).toInt(0) == 1;
    const qint64 answerTime = serverTime(object);
    const qint64 serverOffset = answerTime > 0 ? answerTime - QDateTime::currentSecsSinceEpoch() : 0;
    QString message;
    if (!success) {
        message = nimbra::translateServerMessage(object.value(QLatin1String("msg")).toString().trimmed());
        if (message.isEmpty())
            message = QStringLiteral("请求失败");
        // A signed request refused while its time was off: the clock is the likely cause, and the
        // user is told so rather than that the sign-in expired.
        const QVariant signedOffset = reply->property(kSignedOffsetTag);
        if (answerTime > 0 && signedOffset.isValid() &&
            qAbs(serverOffset - signedOffset.toLongLong()) >= kClockToleranceSeconds)
            message = wrongClockMessage(serverOffset - signedOffset.toLongLong());
    }
    if (answerTime > 0)
        followServerClock(serverOffset);
    emit trace(head.arg(QString::number(requestId), operation, boolText(success), QString::number(status),
                        QString::number(elapsed), QString::number(body.size())) +
               QStringLiteral("rootKeys=") + object.keys().join(QLatin1Char(',')));
    emit responseReady(requestId, operation, success, status, object.toVariantMap(), message);
}
