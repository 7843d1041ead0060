#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class RechargeApi;

// The team-leader centre: a leader opens a team of a line, region and size and lists the teams opened;
// anyone looks a team up by its code and buys a seat for a game. The records (the leader entry, the
// leader's teams, the looked-up team) come from the state store; the requests go through the purchase
// client, and the seat order through its payment. Without a client (a screenshot scene) it only shows.
class LeaderCentre : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool opened READ opened WRITE setOpened NOTIFY openedChanged)
    Q_PROPERTY(QVariantMap entry READ entry WRITE setEntry NOTIFY entryChanged)
    Q_PROPERTY(QVariantList teams READ teams WRITE setTeams NOTIFY teamsChanged)
    Q_PROPERTY(QVariantMap team READ team WRITE setTeam NOTIFY teamChanged)
    Q_PROPERTY(bool isLeader READ isLeader NOTIFY entryChanged)
    // The entry's lines and sizes, and the regions of the chosen line, as choices {value, text, ...}.
    Q_PROPERTY(QVariantList lines READ lines NOTIFY entryChanged)
    Q_PROPERTY(QVariantList sizes READ sizes NOTIFY entryChanged)
    Q_PROPERTY(QVariantList regions READ regions NOTIFY choiceChanged)
    // "create", "teams" or "join"; choosing "teams" asks for the teams again.
    Q_PROPERTY(QString section READ section WRITE selectSection NOTIFY choiceChanged)
    Q_PROPERTY(QString line READ line WRITE selectLine NOTIFY choiceChanged)
    Q_PROPERTY(QString region READ region WRITE setRegion NOTIFY choiceChanged)
    Q_PROPERTY(int size READ size WRITE setSize NOTIFY choiceChanged)
    Q_PROPERTY(QString gameId READ gameId WRITE setGameId NOTIFY choiceChanged)
    // The code asked for or chosen in the list; `found`: the looked-up team is that code's.
    Q_PROPERTY(QString teamCode READ teamCode WRITE setTeamCode NOTIFY choiceChanged)
    Q_PROPERTY(bool found READ found NOTIFY choiceChanged)

public:
    explicit LeaderCentre(QObject *parent = nullptr);

    void setApi(RechargeApi *api);
    bool opened() const { return m_opened; }
    void setOpened(bool opened);
    QVariantMap entry() const { return m_entry; }
    void setEntry(const QVariantMap &entry);
    QVariantList teams() const { return m_teams; }
    void setTeams(const QVariantList &teams);
    QVariantMap team() const { return m_team; }
    void setTeam(const QVariantMap &team);
    bool isLeader() const;
    QVariantList lines() const;
    QVariantList sizes() const;
    QVariantList regions() const;
    QString section() const { return m_section; }
    void selectSection(const QString &section);
    QString line() const { return m_line; }
    void selectLine(const QString &line);
    QString region() const { return m_region; }
    void setRegion(const QString &region);
    int size() const { return m_size; }
    void setSize(int size);
    QString gameId() const { return m_gameId; }
    void setGameId(const QString &gameId);
    QString teamCode() const { return m_teamCode; }
    void setTeamCode(const QString &code);
    bool found() const;

    Q_INVOKABLE void createTeam();
    Q_INVOKABLE void queryTeam(const QString &code);
    Q_INVOKABLE void joinTeam();
    // Closes and forgets the code and game (the session ended).
    void end();

signals:
    void openedChanged();
    void entryChanged();
    void teamsChanged();
    void teamChanged();
    void choiceChanged();
    void notice(const QString &message, bool warning);

private:
    // Keeps the choices within what the entry offers; a non-leader cannot stay on "create".
    void fitChoices();
    void reloadTeams();
    qint64 guid() const;

    QPointer<RechargeApi> m_api;
    bool m_opened = false;
    QVariantMap m_entry;
    QVariantList m_teams;
    QVariantMap m_team;
    QString m_section = QStringLiteral("create");
    QString m_line;
    QString m_region;
    int m_size = 0;
    QString m_gameId;
    QString m_teamCode;
};
