#include "app/gamechoice.h"
#include "app/sessionrules.h"

#include "state/globaldata.h"

#include <QSet>

using namespace sessionrules;

GameChoice::GameChoice(GlobalData *data, QObject *parent)
    : QObject(parent)
    , m_data(data)
    , m_selectedGame(emptyGame())
    , m_lastBoostedGame(emptyGame())
{}

void GameChoice::setGameId(const QString &value)
{
    if (m_gameId == value)
        return;
    m_gameId = value;
    emit gameIdChanged();
}

void GameChoice::setServer(const QString &name)
{
    if (m_server == name)
        return;
    m_server = name;
    emit serverChanged();
}

void GameChoice::setSelectedGame(const QVariantMap &game)
{
    if (m_selectedGame == game)
        return;
    m_selectedGame = game;
    emit selectedGameChanged();
}

QStringList GameChoice::servers() const
{
    QStringList names;
    const QVariantList servers = m_selectedGame.value(QStringLiteral("servers")).toList();
    for (const QVariant &server : servers)
        names << textOf(server);
    return names;
}

void GameChoice::setLastBoostedGame(const QVariantMap &game)
{
    // Told even when equal: the recent entry is rewritten on every start.
    m_lastBoostedGame = game;
    emit lastBoostedGameChanged();
}

bool GameChoice::restoreRecent()
{
    const QVariantMap recent = m_data->recentBoostedGame();
    if (isBlank(recent.value(QStringLiteral("id"))))
        return false;
    setGameId(textOf(recent.value(QStringLiteral("id"))).trimmed());
    const QVariantList servers = recent.value(QStringLiteral("servers")).toList();
    setServer(!isBlank(recent.value(QStringLiteral("country")))
                  ? textOf(recent.value(QStringLiteral("country")))
                  : (!servers.isEmpty() ? textOf(servers.first()) : QStringLiteral("艾欧尼亚")));
    setSelectedGame(recent);
    setLastBoostedGame(recent);
    return true;
}

QVariantList GameChoice::knownGames() const
{
    QSet<QString> seen;
    QVariantList result;
    const QVariantList &common = m_data->commonGames();
    const QVariantList page = m_data->gamePageLoaded() ? m_data->games() : common;
    for (const QVariantList *list : {&common, &page}) {
        for (const QVariant &game : *list) {
            const QString id = textOf(game.toMap().value(QStringLiteral("id")));
            if (seen.contains(id))
                continue;
            seen.insert(id);
            result.append(game);
        }
    }
    return result;
}

QVariantMap GameChoice::recordFor(const QVariant &gameOrId) const
{
    const QVariant value = plain(gameOrId);
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return value.toMap();
    const QString id = textOf(value);
    const QVariantList known = knownGames();
    for (const QVariant &game : known) {
        if (textOf(game.toMap().value(QStringLiteral("id"))) == id)
            return game.toMap();
    }
    return known.isEmpty() ? emptyGame() : known.first().toMap();
}

void GameChoice::choose(const QVariantMap &record)
{
    setSelectedGame(record);
    setGameId(textOf(record.value(QStringLiteral("id"))));
    setServer(gameRegion(record));
}

bool GameChoice::followKnownGames()
{
    const QVariantList known = knownGames();
    if (known.isEmpty())
        return false;
    QVariantMap record;
    bool found = false;
    for (const QVariant &game : known) {
        // The last record of an id, as a map keyed by id keeps it.
        if (textOf(game.toMap().value(QStringLiteral("id"))) == m_gameId) {
            record = game.toMap();
            found = true;
        }
    }
    if (!found) {
        if (textOf(m_selectedGame.value(QStringLiteral("id"))) == m_gameId) {
            record = m_selectedGame;
        } else {
            record = known.first().toMap();
            setGameId(textOf(record.value(QStringLiteral("id"))));
            setServer(gameRegion(record));
        }
    }
    // A new catalogue page brings the game back without the addresses its detail added; the detail is
    // not asked for again, so keep the ones already known.
    const QVariantMap current = m_selectedGame;
    if (record != current &&
        textOf(current.value(QStringLiteral("id"))) == textOf(record.value(QStringLiteral("id"))) &&
        gameIpList(record).isEmpty() && !gameIpList(current).isEmpty()) {
        record.insert(QStringLiteral("ip_list"), current.value(QStringLiteral("ip_list")));
        record.insert(QStringLiteral("ipList"), current.value(QStringLiteral("ipList")));
    }
    // The start-up region belongs to no game in particular; the record says which ones this game has.
    setServer(regionWithin(record, m_server));
    setSelectedGame(record);
    return true;
}

QVariantMap GameChoice::routePayload() const
{
    const QVariantMap &game = m_selectedGame;
    const auto text = [](const QVariant &value) {
        return isBlank(value) ? QString() : textOf(value);
    };
    const QVariant id = game.value(QStringLiteral("id"));
    const QVariant packageName = game.value(QStringLiteral("package_name"));
    const QVariant country = game.value(QStringLiteral("country"));
    return {{QStringLiteral("id"), text(!isBlank(id) ? id : QVariant(m_gameId))},
            {QStringLiteral("package_name"),
             text(truthy(packageName) ? packageName : game.value(QStringLiteral("packageName")))},
            {QStringLiteral("country"), text(!isBlank(country) ? country : QVariant(m_server))},
            {QStringLiteral("server"), text(m_server)}};
}
