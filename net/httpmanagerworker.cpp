#include "net/httpmanagerworker.h"

#include "state/globaldata.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

const char *const kRequestIdTag = "httpRequestId";
const char *const kOperationTag = "httpOperation";
const char *const kStartedAtTag = "httpStartedAt";
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

    const QNetworkRequest request = nimbra::net::buildRequest(
        m_baseUrl, path, body, guid, {signedRequest, withDeviceId}, m_session,
        [] { return QDateTime::currentSecsSinceEpoch(); }, &nimbra::net::randomNonce);
    QNetworkReply *reply = m_network->post(request, body);
    reply->setProperty(kRequestIdTag, QVariant::fromValue(requestId));
    reply->setProperty(kOperationTag, operation);
    reply->setProperty(kStartedAtTag, QDateTime::currentMSecsSinceEpoch());
    connect(reply, &QNetworkReply::finished, this, [this, reply] { handleReply(reply); });
    guardReply(reply);
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
        const QString error = abortReason == kDeadlineReason
                                  ? QStringLiteral("no complete reply within %1 ms").arg(m_requestTimeoutMs)
                                  : reply->errorString().trimmed();
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
    QString message;
    if (!success) {
        message = GlobalData::instance()->translateServerMessage(
            object.value(QLatin1String("msg")).toString().trimmed());
        if (message.isEmpty())
            message = QStringLiteral("请求失败");
    }
    emit trace(head.arg(QString::number(requestId), operation, boolText(success), QString::number(status),
                        QString::number(elapsed), QString::number(body.size())) +
               QStringLiteral("rootKeys=") + object.keys().join(QLatin1Char(',')));
    emit responseReady(requestId, operation, success, status, object.toVariantMap(), message);
}
