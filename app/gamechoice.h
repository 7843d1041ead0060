#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class GlobalData;

// The game and region the user accelerates: the chosen game's record, its id and region, and the game
// last accelerated. It resolves records from the known game lists; what a new choice sets off (details,
// routes, the measurement) is the session's.
class GameChoice : public QObject
{
    Q_OBJECT

    Q_PROPERTY(QString gameId READ gameId NOTIFY gameIdChanged)
    Q_PROPERTY(QString server READ server NOTIFY serverChanged)
    Q_PROPERTY(QVariantMap selectedGame READ selectedGame NOTIFY selectedGameChanged)
    // The chosen game's regions, as the region menu lists them.
    // QList<QString> rather than QStringList: Qt 6.4's qmllint binds only that to a list<string>.
    Q_PROPERTY(QList<QString> servers READ servers NOTIFY selectedGameChanged)
    Q_PROPERTY(QVariantMap lastBoostedGame READ lastBoostedGame NOTIFY lastBoostedGameChanged)

public:
    explicit GameChoice(GlobalData *data, QObject *parent = nullptr);

    QString gameId() const { return m_gameId; }
    QString server() const { return m_server; }
    QVariantMap selectedGame() const { return m_selectedGame; }
    QStringList servers() const;
    QVariantMap lastBoostedGame() const { return m_lastBoostedGame; }

    // The region the user picks among the game's.
    Q_INVOKABLE void setServer(const QString &name);

    void setSelectedGame(const QVariantMap &game);
    void setLastBoostedGame(const QVariantMap &game);
    // The stored recent game becomes the choice; false when there is none.
    bool restoreRecent();
    // A game record as given, or the known record of an id (the first known game when the id is not).
    QVariantMap recordFor(const QVariant &gameOrId) const;
    // The record becomes the choice, with its own region.
    void choose(const QVariantMap &record);
    // The choice follows new game lists (the chosen id's record, else the first game); false while no
    // game is known.
    bool followKnownGames();
    // The game as the route and configuration requests name it.
    QVariantMap routePayload() const;

signals:
    void gameIdChanged();
    void serverChanged();
    void selectedGameChanged();
    void lastBoostedGameChanged();

private:
    void setGameId(const QString &value);
    // Known games: the common ones, then the library page, the first record of an id winning.
    QVariantList knownGames() const;

    GlobalData *m_data;
    QString m_gameId = QStringLiteral("lol");
    QString m_server = QStringLiteral("艾欧尼亚");
    QVariantMap m_selectedGame;
    QVariantMap m_lastBoostedGame;
};
