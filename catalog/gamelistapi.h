#pragma once

#include "net/serviceendpoint.h"
#include <QHash>
#include <QJsonObject>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantList>
#include <QVariantMap>

// The game catalogue client: common games, library pages and game details (with the server address
// list that acceleration routes), each server game turned into the one normalised game record.
class GameListApi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString baseUrl READ baseUrl WRITE setBaseUrl NOTIFY baseUrlChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
    explicit GameListApi(const QString &baseUrl = {}, QObject *parent = nullptr);

    void setHttpManager(HttpManager *manager);
    QString baseUrl() const { return m_endpoint.baseUrl(); }
    void setBaseUrl(const QString &url);
    bool busy() const { return m_pendingCount > 0; }

    Q_INVOKABLE void loadCommon();
    Q_INVOKABLE void loadPage(int page = 1, const QString &category = QString(),
                              const QString &keyword = QString());
    Q_INVOKABLE void loadDetail(const QString &packageName, const QString &country);

    QVariantMap normalizeGame(const QJsonObject &game) const;

signals:
    void baseUrlChanged();
    void busyChanged();
    void commonLoaded(const QVariantList &games);
    void pageLoaded(const QVariantList &games, const QVariantList &categories, int page, int pageSize,
                    int total, int totalPages, bool hasMore);
    void detailLoaded(const QVariantMap &game);
    void requestFailed(const QString &operation, const QString &message);

private:
    quint64 postJson(const QString &operation, const QString &path, const QJsonObject &body);
    void handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                        const QVariantMap &response, const QString &errorMessage);
    // One per operation, given the answer's data object.
    void onCommon(const QJsonObject &data);
    void onPage(const QJsonObject &data);
    void onDetail(const QJsonObject &data);
    int m_pendingCount = 0;
    ServiceEndpoint m_endpoint;
    QHash<quint64, QString> m_operations;
    QHash<quint64, QString> m_detailKeys;
    QSet<QString> m_pendingDetailKeys;
};
