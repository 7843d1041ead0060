#pragma once

#include "purchase/leadercentre.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

class RechargeApi;

// Group buying on the membership page: the leader team looked up by its code and the seat bought in
// it, the leader centre's opening, and the group detail ("我的拼团") with the order it shows, its
// refresh and the wait for a leader team's code. The records come from the state store; what is asked
// of the service goes through the purchase client. A session's end closes everything.
class GroupPurchase : public QObject
{
    Q_OBJECT
    // The records shown: the looked-up team, the user's own teams, the group detail and the orders.
    Q_PROPERTY(QVariantMap leaderTeam READ leaderTeam WRITE setLeaderTeam NOTIFY leaderTeamChanged)
    Q_PROPERTY(QVariantList leaderTeams READ leaderTeams WRITE setLeaderTeams NOTIFY leaderTeamsChanged)
    Q_PROPERTY(QVariantMap group READ group WRITE setGroup NOTIFY groupChanged)
    Q_PROPERTY(QVariantList orders READ orders WRITE setOrders NOTIFY ordersChanged)
    // The orders of group purchases, newest first as listed.
    Q_PROPERTY(QVariantList groupOrders READ groupOrders NOTIFY ordersChanged)
    // The code in the join panel's field once asked for, and the game chosen for the seat.
    Q_PROPERTY(QString leaderTeamCode READ leaderTeamCode NOTIFY leaderTeamChanged)
    Q_PROPERTY(QString leaderGameId READ leaderGameId WRITE setLeaderGameId NOTIFY leaderTeamChanged)
    // The looked-up team is the code's, and its seat price in fen and as shown ("" before).
    Q_PROPERTY(bool leaderTeamReady READ leaderTeamReady NOTIFY leaderTeamChanged)
    Q_PROPERTY(double leaderPriceFen READ leaderPriceFenNumber NOTIFY leaderTeamChanged)
    Q_PROPERTY(QString leaderPriceText READ leaderPriceText NOTIFY leaderTeamChanged)
    // The leader centre, shown while leaderOpened.
    Q_PROPERTY(LeaderCentre *centre READ centre CONSTANT)
    Q_PROPERTY(bool leaderOpened READ leaderOpened WRITE setLeaderOpened NOTIFY openedChanged)
    Q_PROPERTY(bool detailOpened READ detailOpened WRITE setDetailOpened NOTIFY openedChanged)
    Q_PROPERTY(bool detailLoading READ detailLoading NOTIFY detailChanged)
    Q_PROPERTY(double detailOrderId READ detailOrderIdNumber NOTIFY detailChanged)
    // The order the detail shows: the group order, else the order, with its id; empty for none.
    Q_PROPERTY(QVariantMap selectedOrder READ selectedOrder NOTIFY selectedOrderChanged)
    // The team-code refresh runs: a leader-type group is open, idle and still without a code.
    Q_PROPERTY(bool pollingCode READ pollingCode NOTIFY pollingCodeChanged)

public:
    explicit GroupPurchase(RechargeApi *api);

    QVariantMap leaderTeam() const { return m_leaderTeam; }
    void setLeaderTeam(const QVariantMap &team);
    QVariantList leaderTeams() const { return m_leaderTeams; }
    void setLeaderTeams(const QVariantList &teams);
    QVariantMap group() const { return m_group; }
    void setGroup(const QVariantMap &group);
    QVariantList orders() const { return m_orders; }
    void setOrders(const QVariantList &orders);
    QVariantList groupOrders() const { return m_groupOrders; }
    QString leaderTeamCode() const { return m_leaderTeamCode; }
    QString leaderGameId() const { return m_leaderGameId; }
    void setLeaderGameId(const QString &gameId);
    bool leaderTeamReady() const;
    qint64 leaderPriceFen() const;
    double leaderPriceFenNumber() const { return static_cast<double>(leaderPriceFen()); }
    QString leaderPriceText() const;
    LeaderCentre *centre() const { return m_centre; }
    bool leaderOpened() const { return m_centre->opened(); }
    void setLeaderOpened(bool opened);
    bool detailOpened() const { return m_detailOpened; }
    void setDetailOpened(bool opened);
    bool detailLoading() const { return m_detailLoading; }
    qint64 detailOrderId() const { return m_detailOrderId; }
    double detailOrderIdNumber() const { return static_cast<double>(m_detailOrderId); }
    bool pollingCode() const { return m_codeTimer.isActive(); }

    // Looks the team of a code up (a signed-in user's own team by its id).
    Q_INVOKABLE void queryLeaderTeam(const QString &code);
    // A seat in the looked-up team for the chosen game, at the team's price.
    Q_INVOKABLE void createSeatOrder();
    Q_INVOKABLE void openLeaderCenter();
    // "我的拼团": the group detail of the selected order, else of the newest group order.
    Q_INVOKABLE void openMyGroups();
    // The detail of an order (an order record; without an id, the selected order).
    Q_INVOKABLE void refreshGroupDetail(const QVariantMap &order);
    Q_INVOKABLE void refreshSelected();
    QVariantMap selectedOrder() const { return m_selectedOrder; }
    // Closes the dialogs and forgets the team code and the selected order (a session ended, a page opens).
    Q_INVOKABLE void end();

    // Rules without state, for the tests.
    static QString normalizedCode(const QString &code);
    // The id of the user's own team with this code (own teams are looked up by id); 0 when none.
    static qint64 ownTeamId(const QVariantList &teams, const QString &code);
    // The team the detail shows: the group's team, else the group itself.
    static QVariantMap detailTeam(const QVariantMap &group);
    // "leader" or "normal": the first team type the team, group, order or order's group names.
    static QString teamType(const QVariantMap &team, const QVariantMap &group, const QVariantMap &order);
    // The first team code the team, group, order or order's group names; "" for none.
    static QString knownTeamCode(const QVariantMap &team, const QVariantMap &group, const QVariantMap &order);

signals:
    void leaderTeamChanged();
    void leaderTeamsChanged();
    void groupChanged();
    void ordersChanged();
    void openedChanged();
    void detailChanged();
    void pollingCodeChanged();
    void selectedOrderChanged();
    void notice(const QString &message, bool warning);
    void signInRequested();
    void trace(const QString &message);

private:
    bool signedIn() const;
    void autoSelect(bool anyOrder);
    void setDetail(bool loading, qint64 orderId);
    // Follows the selected order and whether the code is waited for.
    void update();

    RechargeApi *m_api;
    QVariantMap m_leaderTeam;
    QVariantList m_leaderTeams;
    QVariantMap m_group;
    QVariantList m_orders;
    QVariantList m_groupOrders;
    QString m_leaderTeamCode;
    QString m_leaderGameId;
    LeaderCentre *m_centre;
    bool m_detailOpened = false;
    bool m_detailLoading = false;
    qint64 m_detailOrderId = 0;
    QVariantMap m_selectedOrder;
    // The detail picks an order by itself on the next turn while none is selected.
    QTimer m_autoSelect;
    bool m_autoSelectAny = false;
    // A leader team's code is issued a little after the team: it is asked for again every 3 s.
    QTimer m_codeTimer;
};
