#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

// What the group detail shows of a group and its order: the service spreads a team's state over the
// team, the group, the order and the order's group, so each text is read here from the first that has
// it. The detail pane makes one for the group it shows (a screenshot scene as well).
class GroupDetail : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap group READ group WRITE setGroup NOTIFY changed)
    Q_PROPERTY(QVariantMap order READ order WRITE setOrder NOTIFY changed)
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText NOTIFY changed)
    // "团码" and the code of a leader team ("生成中，请刷新" until issued), else "拼团编号" and "#id".
    Q_PROPERTY(QString identityLabel READ identityLabel NOTIFY changed)
    Q_PROPERTY(QString identityValue READ identityValue NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    Q_PROPERTY(QString nodeText READ nodeText NOTIFY changed)
    // The members to list, each {line, status}: the team's; else, for a paid order the service has not
    // placed yet, the user.
    Q_PROPERTY(QVariantList members READ members NOTIFY changed)

public:
    explicit GroupDetail(QObject *parent = nullptr);

    QVariantMap group() const { return m_group; }
    void setGroup(const QVariantMap &group);
    QVariantMap order() const { return m_order; }
    void setOrder(const QVariantMap &order);
    QString name() const;
    QString statusText() const;
    QString identityLabel() const;
    QString identityValue() const;
    QString progressText() const;
    QString nodeText() const;
    QVariantList members() const;
    // The paid members (at least the user once the order is paid) and the seats; 0 seats when unknown.
    int current() const;
    int target() const;

signals:
    void changed();

private:
    QVariantMap team() const;
    QVariantMap orderGroup() const { return m_order.value(QStringLiteral("group")).toMap(); }
    QVariantList memberRecords() const;
    bool orderPaid() const;

    QVariantMap m_group;
    QVariantMap m_order;
};
