#pragma once

#include "net/httpmanager.h"

#include <QPointer>
#include <QString>

// What every service client shares: its base URL (the one start-up found, see net/serviceaddress.h) and
// its subscription to the one request pipeline.
class ServiceEndpoint
{
public:
    // Without a URL, attaching leaves the pipeline's as it is.
    explicit ServiceEndpoint(const QString &baseUrl = {});

    const QString &baseUrl() const { return m_baseUrl; }
    HttpManager *http() const { return m_http; }

    // Normalises and stores the URL and hands it to the pipeline; false when empty or unchanged.
    bool setBaseUrl(const QString &url);

    // Switches to `manager`, hands it the base URL (if any) and subscribes the receiver's handler to its
    // results; false when it is the current one already.
    template<class Receiver>
    bool attach(HttpManager *manager, Receiver *receiver,
                void (Receiver::*handler)(quint64, const QString &, bool, int, const QVariantMap &,
                                          const QString &))
    {
        if (manager == m_http)
            return false;
        QObject::disconnect(m_connection);
        m_http = manager;
        if (manager) {
            manager->setBaseUrl(m_baseUrl);
            m_connection = QObject::connect(manager, &HttpManager::responseReady, receiver, handler);
        }
        return true;
    }

private:
    QString m_baseUrl;
    QPointer<HttpManager> m_http;
    QMetaObject::Connection m_connection;
};
