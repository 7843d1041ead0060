#include "globaldata.h"

#include "state/purchasepreparation.h"
#include "state/servermessages.h"
#include "state/storedfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

QVariantMap resetMembership()
{
    return {{QStringLiteral("vip_num"), 0}, {QStringLiteral("is_vip"), false}};
}

const QString kRecentGameFile = QStringLiteral("recent_boosted_game.json");
const QString kRouteSelectionsFile = QStringLiteral("game_route_selections.json");

// The keys of a game record worth keeping across runs (pictures by URL, the address list, the labels).
const QStringList kRecentGameKeys = {
    QStringLiteral("id"),          QStringLiteral("name"),
    QStringLiteral("title"),       QStringLiteral("en"),
    QStringLiteral("hue"),         QStringLiteral("cat"),
    QStringLiteral("country"),     QStringLiteral("vendor"),
    QStringLiteral("hot"),         QStringLiteral("popular"),
    QStringLiteral("ping"),        QStringLiteral("servers"),
    QStringLiteral("iconSource"),  QStringLiteral("backgroundSource"),
    QStringLiteral("packageName"), QStringLiteral("package_name"),
    QStringLiteral("ip_list"),     QStringLiteral("ipList"),
};

QString trimmedText(const QVariant &value)
{
    return value.toString().trimmed();
}

// Replaces every record of `list` that the detail matches; returns whether anything changed.
bool mergeDetail(QVariantList &list, const QVariantMap &detail, const QString &package,
                 const QString &country, const QString &id)
{
    bool changed = false;
    for (QVariant &entry : list) {
        const QVariantMap record = entry.toMap();
        const QString recordPackage = trimmedText(record.value(QStringLiteral("package_name")));
        const QString recordCountry = trimmedText(record.value(QStringLiteral("country")));
        const bool packageMatch =
            !package.isEmpty() && package == recordPackage && (country.isEmpty() || country == recordCountry);
        const bool idMatch = !id.isEmpty() && id == trimmedText(record.value(QStringLiteral("id")));
        if (!packageMatch && !idMatch)
            continue;
        QVariantMap merged = record;
        for (auto it = detail.constBegin(); it != detail.constEnd(); ++it)
            merged.insert(it.key(), it.value());
        if (merged != record) {
            entry = merged;
            changed = true;
        }
    }
    return changed;
}

} // namespace

GlobalData::GlobalData(QObject *parent)
    : QObject(parent)
    , m_membership(resetMembership())
{
    restoreLocalState();
}

GlobalData *GlobalData::instance()
{
    static GlobalData data;
    return &data;
}

QString GlobalData::translateServerMessage(const QString &message) const
{
    return nimbra::translateServerMessage(message);
}

namespace {
// Set once by the application on the interface thread, before any document can copy.
GlobalData::ClipboardWriter clipboardWriter = nullptr;
} // namespace

void GlobalData::setClipboardWriter(ClipboardWriter writer)
{
    clipboardWriter = writer;
}

bool GlobalData::copyToClipboard(const QString &text) const
{
    return !text.isEmpty() && clipboardWriter && clipboardWriter(text);
}

void GlobalData::setAuthenticated(const QString &phone, int userId, int points, int vipNum)
{
    m_loggedIn = userId > 0;
    m_userPhone = phone;
    m_userId = userId;
    m_points = points;
    m_authVipNum = vipNum;
    emit accountChanged();
    setMembership({{QStringLiteral("vip_num"), vipNum}, {QStringLiteral("is_vip"), vipNum > 0}});
}

void GlobalData::setMembership(const QVariantMap &membership)
{
    if (membership.isEmpty()) {
        m_membership = resetMembership();
    } else {
        QVariantMap merged = m_membership;
        for (auto it = membership.constBegin(); it != membership.constEnd(); ++it)
            merged.insert(it.key(), it.value());
        m_membership = merged;
    }
    emit membershipChanged();
}

void GlobalData::clearSessionData()
{
    m_loggedIn = false;
    m_userPhone.clear();
    m_userId = 0;
    m_points = 0;
    m_authVipNum = 0;
    emit accountChanged();

    setMembership({});

    if (!m_publicPurchaseEntry.isEmpty()) {
        setPurchaseEntry(m_publicPurchaseEntry);
    } else {
        m_purchaseEntry.clear();
        emit purchaseEntryChanged();
        m_preparedPurchaseData.clear();
        emit preparedPurchaseDataChanged();
    }

    setOrders({});
    setOrderDetail({});
    setGroupDetail({});
    setLeaderEntry({});
    setLeaderTeams({});
    setLeaderTeamDetail({});
}

void GlobalData::setOrders(const QVariantList &orders)
{
    m_orders = orders;
    emit ordersChanged();
}

void GlobalData::setOrderDetail(const QVariantMap &detail)
{
    m_orderDetail = detail;
    emit orderDetailChanged();
}

void GlobalData::setGroupDetail(const QVariantMap &detail)
{
    m_groupDetail = detail;
    emit groupDetailChanged();
}

void GlobalData::setLeaderEntry(const QVariantMap &entry)
{
    m_leaderEntry = entry;
    emit leaderEntryChanged();
}

void GlobalData::setLeaderTeams(const QVariantList &teams)
{
    m_leaderTeams = teams;
    emit leaderTeamsChanged();
}

void GlobalData::setLeaderTeamDetail(const QVariantMap &detail)
{
    m_leaderTeamDetail = detail;
    emit leaderTeamDetailChanged();
}

void GlobalData::setCommonGames(const QVariantList &games)
{
    m_commonGames = games;
    m_commonGamesLoaded = true;
    qInfo().noquote() << QStringLiteral("[Data] 常用游戏已更新 count=%1").arg(games.size());
    emit commonGamesChanged();
    if (!m_purchaseEntry.isEmpty() && m_games.isEmpty())
        reprepareWithGames(m_commonGames);
}

void GlobalData::setGames(const QVariantList &games, const QVariantList &categories, int page, int pageSize,
                          int total, int totalPages)
{
    m_games = games;
    m_gameCategories = categories;
    m_gamePage = page;
    m_gamePageSize = pageSize;
    m_gameTotal = total;
    m_gameTotalPages = totalPages < 1 ? 1 : totalPages;
    m_gamePageLoaded = true;
    qInfo().noquote() << QStringLiteral("[Data] 游戏库已更新 page=%1 count=%2 total=%3 totalPages=%4")
                             .arg(page)
                             .arg(games.size())
                             .arg(total)
                             .arg(m_gameTotalPages);
    emit gamesChanged();
    if (!m_purchaseEntry.isEmpty())
        reprepareWithGames(m_games);
}

void GlobalData::reprepareWithGames(const QVariantList &games)
{
    m_preparedPurchaseData = nimbra::purchase::preparePurchaseData(m_purchaseEntry, games);
    emit preparedPurchaseDataChanged();
}

void GlobalData::setPurchaseEntry(const QVariantMap &entry)
{
    QElapsedTimer timer;
    timer.start();
    m_purchaseEntry = entry;
    if (m_loggedIn && !entry.isEmpty()) {
        m_publicPurchaseEntry = entry;
        nimbra::purchase::writeCachedPurchaseEntry(m_settings, entry);
        nimbra::storage::saveSettings(m_settings);
    }
    m_preparedPurchaseData = nimbra::purchase::preparePurchaseData(
        entry, nimbra::purchase::gamesForPreparation(m_games, m_commonGames));
    emit purchaseEntryChanged();
    emit preparedPurchaseDataChanged();
    const QString line = nimbra::purchase::preparedLogLine(m_preparedPurchaseData, timer.elapsed());
    qInfo().noquote() << line;
    emit trace(line);
    // Only for a signed-in user: the cached catalogue shown after a sign-out may still carry the
    // previous user's membership, which must not come back into the state.
    if (m_loggedIn) {
        const QVariantMap membership = nimbra::purchase::extractMembership(entry);
        if (!membership.isEmpty())
            setMembership(membership);
    }
}

void GlobalData::setPublicPurchaseEntry(const QVariantMap &entry)
{
    if (entry.isEmpty())
        return;
    m_publicPurchaseEntry = entry;
    nimbra::purchase::writeCachedPurchaseEntry(m_settings, entry);
    nimbra::storage::saveSettings(m_settings);
    qInfo().noquote() << nimbra::purchase::publicEntryCachedLogLine(entry);
    if (!m_loggedIn)
        setPurchaseEntry(entry);
}

void GlobalData::setPreparedPurchaseData(const QVariantMap &data)
{
    m_preparedPurchaseData = data;
    emit preparedPurchaseDataChanged();
}

void GlobalData::updateGameDetail(const QVariantMap &detail)
{
    if (detail.isEmpty())
        return;
    const QString package = trimmedText(detail.value(QStringLiteral("package_name")));
    const QString country = trimmedText(detail.value(QStringLiteral("country")));
    const QString id = trimmedText(detail.value(QStringLiteral("id")));
    if (package.isEmpty() && id.isEmpty())
        return;
    // Bindings depend on the lists: they are replaced, never changed in place.
    QVariantList common = m_commonGames;
    QVariantList page = m_games;
    const bool commonChanged = mergeDetail(common, detail, package, country, id);
    const bool pageChanged = mergeDetail(page, detail, package, country, id);
    if (commonChanged) {
        m_commonGames = common;
        emit commonGamesChanged();
    }
    if (pageChanged) {
        m_games = page;
        emit gamesChanged();
    }
}

QString GlobalData::dataDirectory()
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (directory.isEmpty())
        directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (directory.isEmpty())
        directory = QDir::homePath() + QStringLiteral("/.nimbra");
    return directory;
}

QString GlobalData::savedGameRouteSelection(const QString &gameId) const
{
    return m_routeSelections.value(gameId.trimmed());
}

void GlobalData::saveRecentBoostedGame(const QVariantMap &game)
{
    const QString id = trimmedText(game.value(QStringLiteral("id")));
    if (id.isEmpty())
        return;
    QVariantMap kept;
    for (const QString &key : kRecentGameKeys) {
        if (game.contains(key))
            kept.insert(key, game.value(key));
    }
    if (trimmedText(kept.value(QStringLiteral("id"))).isEmpty())
        kept.insert(QStringLiteral("id"), id);

    const QString path = QDir(dataDirectory()).filePath(kRecentGameFile);
    QString error;
    // Swapped in whole: a failed write (a full disk) keeps the previous file.
    if (nimbra::storage::writeStoredFile(
            path, QJsonDocument(QJsonObject::fromVariantMap(kept)).toJson(QJsonDocument::Indented), error) !=
        nimbra::storage::WriteStatus::Ok) {
        qWarning().noquote()
            << QStringLiteral("[Data] 最近加速游戏保存失败 path=%1 error=%2").arg(path, error);
        return;
    }
    m_recentBoostedGame = kept;
    emit recentBoostedGameChanged();
    qInfo().noquote() << QStringLiteral("[Data] 最近加速游戏已保存 id=%1 name=%2 path=%3")
                             .arg(id, kept.value(QStringLiteral("name")).toString(), path);
}

void GlobalData::saveGameRouteSelection(const QString &gameId, const QString &routeKey)
{
    const QString id = gameId.trimmed();
    const QString key = routeKey.trimmed();
    if (id.isEmpty() || key.isEmpty() || m_routeSelections.value(id) == key)
        return;
    QHash<QString, QString> selections = m_routeSelections;
    selections.insert(id, key);
    QJsonObject object;
    for (auto it = selections.constBegin(); it != selections.constEnd(); ++it)
        object.insert(it.key(), it.value());

    const QString path = QDir(dataDirectory()).filePath(kRouteSelectionsFile);
    QString error;
    switch (nimbra::storage::writeStoredFile(path, QJsonDocument(object).toJson(QJsonDocument::Indented),
                                             error)) {
    case nimbra::storage::WriteStatus::Ok:
        break;
    case nimbra::storage::WriteStatus::OpenFailed:
        qWarning().noquote()
            << QStringLiteral("[Data] 游戏线路选择保存失败 gameId=%1 path=%2 error=%3").arg(id, path, error);
        return;
    case nimbra::storage::WriteStatus::WriteFailed:
        qWarning().noquote()
            << QStringLiteral("[Data] 游戏线路选择提交失败 gameId=%1 path=%2 error=%3").arg(id, path, error);
        return;
    }
    m_routeSelections = selections;
    qInfo().noquote()
        << QStringLiteral("[Data] 游戏线路选择已保存 gameId=%1 routeKey=%2 path=%3").arg(id, key, path);
}

void GlobalData::restoreLocalState()
{
    const QDir directory(dataDirectory());

    using nimbra::storage::ReadStatus;
    const QString recentPath = directory.filePath(kRecentGameFile);
    QByteArray content;
    QString error;
    const ReadStatus recentStatus = nimbra::storage::readStoredFile(recentPath, content, error);
    if (recentStatus == ReadStatus::TooLarge) {
        qWarning().noquote()
            << QStringLiteral("[Data] 最近加速游戏文件无效，已忽略 path=%1 error=%2").arg(recentPath, error);
    } else if (recentStatus == ReadStatus::Ok) {
        const QJsonDocument document = QJsonDocument::fromJson(content);
        const QVariantMap game = document.isObject() ? document.object().toVariantMap() : QVariantMap();
        const QString id = trimmedText(game.value(QStringLiteral("id")));
        if (!id.isEmpty()) {
            m_recentBoostedGame = game;
            qInfo().noquote() << QStringLiteral("[Data] 已从本地文件恢复最近加速游戏 id=%1 name=%2 path=%3")
                                     .arg(id, game.value(QStringLiteral("name")).toString(), recentPath);
        }
    }

    const QString routesPath = directory.filePath(kRouteSelectionsFile);
    const ReadStatus routesStatus = nimbra::storage::readStoredFile(routesPath, content, error);
    if (routesStatus == ReadStatus::TooLarge) {
        qWarning().noquote()
            << QStringLiteral("[Data] 游戏线路选择配置无效，已忽略 path=%1 error=%2").arg(routesPath, error);
    } else if (routesStatus == ReadStatus::Ok) {
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            const QString reason = parseError.error != QJsonParseError::NoError
                                       ? parseError.errorString()
                                       : QStringLiteral("not an object");
            qWarning().noquote() << QStringLiteral("[Data] 游戏线路选择配置无效，已忽略 path=%1 error=%2")
                                        .arg(routesPath, reason);
        } else {
            const QJsonObject object = document.object();
            for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
                const QString id = it.key().trimmed();
                const QString key = it.value().isString() ? it.value().toString().trimmed() : QString();
                if (!id.isEmpty() && !key.isEmpty())
                    m_routeSelections.insert(id, key);
            }
            qInfo().noquote() << QStringLiteral("[Data] 已恢复游戏线路选择 count=%1 path=%2")
                                     .arg(m_routeSelections.size())
                                     .arg(routesPath);
        }
    }

    const QVariantMap cached = nimbra::purchase::readCachedPurchaseEntry(m_settings);
    if (!cached.isEmpty()) {
        m_publicPurchaseEntry = cached;
        m_purchaseEntry = cached;
        m_preparedPurchaseData = nimbra::purchase::preparePurchaseData(cached, {});
        qInfo().noquote() << nimbra::purchase::restoredLogLine(m_preparedPurchaseData);
    }
}
