#pragma once

#include "net/serviceendpoint.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// The route client: the route list of one game, normalised from the service's loosely shaped answer
// into uniform route records, and the node configuration of one chosen route. Both requests are signed
// and need the session handed over at sign-in.
class AcceleratorApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QVariantList routes READ routes NOTIFY routesChanged)

public:
    explicit AcceleratorApi(const QString &baseUrl = {}, QObject *parent = nullptr);

    void setHttpManager(HttpManager *manager);
    void setSession(qint64 guid, const QString &secret, const QString &deviceId);
    void clearSession();

    Q_INVOKABLE void loadRoutes(qint64 guid, const QVariantMap &game);
    Q_INVOKABLE void loadNodeConfig(qint64 guid, const QVariantMap &game, const QVariantMap &node);

    QVariantList routes() const { return m_routes; }
    bool busy() const { return m_busyCount > 0; }
    QString lastError() const { return m_lastError; }

    // Lenient field readers: keys are tried in order; an absent or null value is skipped.
    static QVariant firstValue(const QVariantMap &map, const QStringList &keys);
    static QString firstText(const QVariantMap &map, const QStringList &keys);
    static QString valueText(const QVariantMap &map, const QStringList &keys);
    static int valueInt(const QVariantMap &map, const QStringList &keys, int defaultValue = 0);
    static bool valueBool(const QVariantMap &map, const QStringList &keys, bool defaultValue = false);
    // First non-empty text under one of `keys`, looking into nested maps and lists down to a fixed depth.
    static QString recursiveText(const QVariant &value, const QStringList &keys, int depth = 0);

    // The route records of a route-list answer, before and after normalisation.
    static QVariantList extractRouteValues(const QVariant &value);
    static QVariantMap normalizeRoute(const QVariantMap &route, int index);
    static QVariantList normalizeRoutes(const QVariant &value);
    // The node configuration carried by a successful node-configuration answer's data map.
    static QVariantMap nodeConfigFromData(const QVariantMap &data);

signals:
    void busyChanged();
    void lastErrorChanged();
    void routesChanged();
    void routesLoaded(const QVariantList &routes, const QString &gameId);
    void nodeConfigLoaded(const QVariantMap &config, const QString &gameId, const QString &nodeId);
    void requestFailed(const QString &operation, const QString &message);
    void trace(const QString &message);

private:
    bool hasSessionFor(qint64 guid) const;
    void fail(const QString &operation, const QString &message);
    void postJson(const QString &path, qint64 guid, const QJsonObject &body, const QString &gameId,
                  const QString &operation, const QString &nodeId);
    void handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                        const QVariantMap &response, const QString &message);
    // One successful answer, with what its request recorded.
    struct Reply
    {
        QString requestText;
        QString statusText;
        QString gameId;
        QString nodeId;
        QVariantMap data;
    };
    void onRoutes(const Reply &reply);
    void onNodeConfig(const Reply &reply);
    void setLastError(const QString &text);
    void log(const QString &message);

    ServiceEndpoint m_endpoint;
    QHash<quint64, QString> m_pendingOperations;
    QHash<quint64, QString> m_pendingGameIds;
    QHash<quint64, QString> m_pendingNodeIds;
    // The session each request was made in; answers of an ended session are dropped.
    QHash<quint64, quint64> m_pendingSessions;
    quint64 m_session = 1;
    qint64 m_guid = 0;
    QString m_secret;
    QString m_deviceId;
    QString m_lastError;
    QVariantList m_routes;
    int m_busyCount = 0;
};
