#include "net/httpmanager.h"

#include "net/httpmanagerworker.h"
#include "net/requestenvelope.h"

#include <QDebug>

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

HttpManager::HttpManager(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_baseUrl(nimbra::net::normalizedBaseUrl(baseUrl))
{
    m_thread.setObjectName(QStringLiteral("HttpManager network"));
    m_worker = new HttpManagerWorker(m_baseUrl);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &HttpManagerWorker::initialize);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &HttpManagerWorker::responseReady, this, &HttpManager::handleWorkerResponse,
            Qt::QueuedConnection);
    connect(
        m_worker, &HttpManagerWorker::trace, this,
        [this](const QString &message) {
            qInfo().noquote() << message;
            emit trace(message);
        },
        Qt::QueuedConnection);
    m_thread.start(QThread::InheritPriority);
}

HttpManager::~HttpManager()
{
    m_thread.quit();
    m_thread.wait();
}

void HttpManager::log(const QString &message)
{
    qInfo().noquote() << message;
    emit trace(message);
}

quint64 HttpManager::postJson(const QString &operation, const QString &path, const QByteArray &body,
                              qint64 guid, bool signedRequest, bool withDeviceId)
{
    if (!m_worker)
        return 0;
    const quint64 requestId = ++m_nextRequestId;
    const QString requestPath = nimbra::net::normalizedPath(path);
    log(QStringLiteral("[HTTP] 入队 #%1 op=%2 path=%3 guid=%4 signed=%5 deviceId=%6")
            .arg(QString::number(requestId), operation, requestPath, QString::number(guid),
                 boolText(signedRequest), boolText(withDeviceId)));
    if (++m_busyCount == 1)
        emit busyChanged();
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, requestId, operation, requestPath, body, guid, signedRequest, withDeviceId] {
            worker->postJson(requestId, operation, requestPath, body, guid, signedRequest, withDeviceId);
        },
        Qt::QueuedConnection);
    return requestId;
}

void HttpManager::handleWorkerResponse(quint64 requestId, const QString &operation, bool success,
                                       int httpStatus, const QVariantMap &response,
                                       const QString &errorMessage)
{
    log(QStringLiteral("[HTTP] 回调 #%1 op=%2 success=%3 status=%4 responseKeys=%5")
            .arg(QString::number(requestId), operation, boolText(success), QString::number(httpStatus),
                 response.keys().join(QLatin1Char(','))));
    if (m_busyCount > 0 && --m_busyCount == 0)
        emit busyChanged();
    emit responseReady(requestId, operation, success, httpStatus, response, errorMessage);
}

void HttpManager::setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId)
{
    m_guid = guid;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, guid, deviceSecret, deviceId] {
            worker->setSession(guid, deviceSecret, deviceId);
        },
        Qt::QueuedConnection);
}

void HttpManager::clearSession()
{
    m_guid = 0;
    QMetaObject::invokeMethod(m_worker, &HttpManagerWorker::clearSession, Qt::QueuedConnection);
}

void HttpManager::setDeviceId(const QString &deviceId)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, deviceId] { worker->setDeviceId(deviceId); }, Qt::QueuedConnection);
}

void HttpManager::setBaseUrl(const QString &url)
{
    const QString normalized = nimbra::net::normalizedBaseUrl(url);
    if (normalized.isEmpty() || normalized == m_baseUrl)
        return;
    m_baseUrl = normalized;
    emit baseUrlChanged();
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, normalized] { worker->setBaseUrl(normalized); }, Qt::QueuedConnection);
}

void HttpManager::setTransferTimeout(int milliseconds)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, milliseconds] { worker->setTransferTimeout(milliseconds); },
        Qt::QueuedConnection);
}

void HttpManager::setRequestTimeout(int milliseconds)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, milliseconds] { worker->setRequestTimeout(milliseconds); },
        Qt::QueuedConnection);
}
