#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class AcceleratorApi;
class GameChoice;
class GameListApi;
class GlobalData;
class RouteListModel;
class RouteMeasurement;

// Where the chosen game's routes come from: its detail (the game's addresses), its routes and each
// route's node configuration, asked of the service with their loading and error state, and the route
// selected among them. It never starts anything: what a route list or a configuration sets off
// (measurement, a route move) is the controller's, through the signals below.
class RouteSource : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The session owns the route source.")

    // The selector's text: the selected route's name, or what keeps one from being selected.
    Q_PROPERTY(QString line READ line NOTIFY lineChanged)
    Q_PROPERTY(bool routesLoading READ routesLoading NOTIFY routesLoadingChanged)
    Q_PROPERTY(bool routeConfigLoading READ routeConfigLoading NOTIFY routeConfigLoadingChanged)
    Q_PROPERTY(bool gameDetailLoading READ gameDetailLoading NOTIFY gameDetailLoadingChanged)
    Q_PROPERTY(QString routeError READ routeError NOTIFY routeErrorChanged)
    Q_PROPERTY(QVariantList nodes READ nodes NOTIFY nodesChanged)
    Q_PROPERTY(QVariantMap selectedNode READ selectedNode NOTIFY selectedNodeChanged)
    Q_PROPERTY(QString selectedRouteConfig READ selectedRouteConfig NOTIFY selectedNodeChanged)

public:
    RouteSource(GlobalData *data, GameListApi *gameList, AcceleratorApi *accelerator, GameChoice *choice,
                RouteListModel *routes, RouteMeasurement *measurement, QObject *parent = nullptr);

    QString line() const { return m_line; }
    bool routesLoading() const { return m_routesLoading; }
    bool routeConfigLoading() const { return m_routeConfigLoading; }
    bool gameDetailLoading() const { return m_gameDetailLoading; }
    QString routeError() const { return m_routeError; }
    QVariantList nodes() const { return m_nodes; }
    QVariantMap selectedNode() const { return m_selectedNode; }
    QString selectedRouteConfig() const;
    // The game the route list belongs to: a choice by figures is made only from the current game's list.
    QString listedGameId() const { return m_nodesGameId; }

    // Staging a state directly, for tests and the screenshot tool; the interface never calls this.
    void stageSelection(const QVariantMap &game, const QVariantList &nodes, const QVariantMap &node);

    Q_INVOKABLE void chooseNode(const QVariantMap &node);
    Q_INVOKABLE void requestGameDetail(const QVariantMap &game, const QString &reason);
    Q_INVOKABLE void requestRoutes(const QString &reason);
    Q_INVOKABLE void requestNodeConfig(const QVariantMap &node, const QString &reason);
    Q_INVOKABLE void ensureSelectedGame();

    // The record becomes the chosen game: its detail and routes are asked for, and nothing of the
    // previous game's stays selected (a configuration still on its way for it is dropped).
    void chooseGame(const QVariantMap &record);
    // The selection without a user's choice: a route picked by its figures, or the one the core now
    // carries.
    void select(const QVariantMap &route);
    // Signed out: no routes, no selection.
    void clear();
    bool canRequestConfig(const QVariantMap &node) const;
    // Asks for a node's configuration without showing it as loading (a route move).
    void sendConfigRequest(const QVariantMap &node, const QString &reason);

signals:
    void lineChanged();
    void routesLoadingChanged();
    void routeConfigLoadingChanged();
    void gameDetailLoadingChanged();
    void routeErrorChanged();
    void nodesChanged();
    void selectedNodeChanged();

    // The user chose a route (its dialog closes).
    void nodeChosen();
    // The current game's routes arrived, the selection made from them.
    void routesListed(const QVariantList &routes);
    // A node's configuration arrived and is in the list (and in the selection when current).
    void nodeConfigLoaded(const QVariantMap &config, const QString &nodeId, bool current);
    // A node's configuration could not be had; text says why.
    void nodeConfigFailed(const QString &text);
    // A run-log line and a toast, for the session to show.
    void logLine(const QString &text, bool error, bool toConsole);
    void toastRequested(const QString &text, bool warning);

private:
    void setLine(const QString &value);
    void setRoutesLoading(bool value);
    void setRouteConfigLoading(bool value);
    void setGameDetailLoading(bool value);
    void setRouteError(const QString &value);
    void setNodes(const QVariantList &value);
    void setSelectedNode(const QVariantMap &value);

    void onDetail(const QVariantMap &detail);
    void onDetailFailed(const QString &operation, const QString &message);
    void onRoutes(const QVariantList &routes, const QString &loadedGameId);
    void onNodeConfig(const QVariantMap &config, const QString &loadedGameId, const QString &nodeId);
    void onRouteFailure(const QString &operation, const QString &message);

    GlobalData *m_data;
    GameListApi *m_gameList;
    AcceleratorApi *m_accelerator;
    GameChoice *m_choice;
    RouteListModel *m_routes;
    RouteMeasurement *m_measurement;

    QString m_line = QStringLiteral("等待线路");
    bool m_routesLoading = false;
    bool m_routeConfigLoading = false;
    bool m_gameDetailLoading = false;
    QString m_gameDetailKey;
    // Details already answered: an answer without addresses is not asked again on its own.
    QSet<QString> m_loadedDetailKeys;
    QString m_routeError;
    QVariantList m_nodes;
    QVariantMap m_selectedNode;
    QString m_nodesGameId;
    bool m_routesQueued = false;
};
