#pragma once

#include <QObject>
#include <QThread>
#include <QVariantMap>

class HttpManagerWorker;

// The one request pipeline of the program (GUI-thread side): hands out request ids, keeps the busy
// state, and re-emits every result of the network-thread worker in the GUI thread. Every client
// receives every result and acts only on the ids it issued.
class HttpManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString baseUrl READ baseUrl WRITE setBaseUrl NOTIFY baseUrlChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
    // baseUrl: the service's, the one start-up found (net/serviceaddress.h); when empty, setBaseUrl must
    // name it before anything is posted.
    explicit HttpManager(const QString &baseUrl = {}, QObject *parent = nullptr);
    ~HttpManager() override;

    // Posts `body` (compact JSON bytes) to `path`; returns the request id, or 0 when nothing was sent.
    quint64 postJson(const QString &operation, const QString &path, const QByteArray &body, qint64 guid = 0,
                     bool signedRequest = false, bool withDeviceId = false);

    void setSession(qint64 guid, const QString &deviceSecret, const QString &deviceId);
    void clearSession();
    void setDeviceId(const QString &deviceId);
    qint64 guid() const { return m_guid; }

    QString baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QString &url);
    bool busy() const { return m_busyCount > 0; }

    // Inactivity limit of every request (30 s unless changed; tests shorten it).
    void setTransferTimeout(int milliseconds);
    // Overall limit of every request (120 s unless changed; tests shorten it).
    void setRequestTimeout(int milliseconds);

signals:
    void trace(const QString &message);
    void baseUrlChanged();
    void busyChanged();
    void responseReady(quint64 requestId, const QString &operation, bool success, int httpStatus,
                       const QVariantMap &response, const QString &errorMessage);
    void requestFailed(const QString &operation, const QString &message);

private:
    void handleWorkerResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                              const QVariantMap &response, const QString &errorMessage);
    void log(const QString &message);

    QThread m_thread;
    HttpManagerWorker *m_worker = nullptr;
    QString m_baseUrl;
    qint64 m_guid = 0;
    quint64 m_nextRequestId = 0;
    int m_busyCount = 0;
};
