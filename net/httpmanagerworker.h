#pragma once

#include "net/requestenvelope.h"

#include <QObject>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;

// Lives in the network thread: owns the network access manager and the signing session, posts each
// request and turns every reply into one uniform result.
class HttpManagerWorker : public QObject
{
    Q_OBJECT

public:
    // A request that transfers nothing for this long ends as a network error; without it an
    // unanswered request would keep the client busy for ever.
    static constexpr int kDefaultTransferTimeoutMs = 30000;
    // Overall limit of one request, so a reply that keeps dripping cannot hold it for ever.
    static constexpr int kDefaultRequestTimeoutMs = 120000;
    // The largest legitimate reply (the purchase entry) is about 100 KB; anything past this is refused
    // before it is buffered.
    static constexpr qint64 kMaxReplyBytes = 8 * 1024 * 1024;
    // A clock this close to the service's counts as right: answers are never blamed on it, and
    // round-trip jitter does not move the signing time back and forth.
    static constexpr qint64 kClockToleranceSeconds = 30;

    explicit HttpManagerWorker(const QString &baseUrl, QObject *parent = nullptr);

public slots:
    void initialize();
    void setBaseUrl(const QString &url);
    void setDeviceId(const QString &deviceId);
    void setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId);
    void clearSession();
    void setTransferTimeout(int milliseconds);
    void setRequestTimeout(int milliseconds);
    void postJson(quint64 requestId, const QString &operation, const QString &path, const QByteArray &body,
                  qint64 guid, bool signedRequest, bool withDeviceId);

signals:
    void trace(const QString &message);
    void responseReady(quint64 requestId, const QString &operation, bool success, int httpStatus,
                       const QVariantMap &response, const QString &errorMessage);

private:
    void handleReply(QNetworkReply *reply);
    void guardReply(QNetworkReply *reply);
    void followServerClock(qint64 serverOffset);

    QNetworkAccessManager *m_network = nullptr;
    nimbra::net::SessionTriple m_session;
    QString m_baseUrl;
    int m_transferTimeoutMs = kDefaultTransferTimeoutMs;
    int m_requestTimeoutMs = kDefaultRequestTimeoutMs;
    // Seconds to add to this computer's clock to get the service's, learnt from the service's answers;
    // signatures carry the service's time, so a wrong PC clock does not lock the user out.
    qint64 m_clockOffset = 0;
};
