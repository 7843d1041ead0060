#include "purchase/leadercentre.h"

#include "purchase/grouppurchase.h"
#include "purchase/paymentorder.h"
#include "purchase/purchaserequests.h"
#include "purchase/rechargeapi.h"

using nimbra::purchase::choiceOf;
using nimbra::purchase::variantInteger;
using nimbra::purchase::variantText;

namespace {

QVariantList choices(const QVariant &items)
{
    QVariantList result;
    for (const QVariant &item : items.toList()) {
        if (!item.toMap().isEmpty())
            result.append(item);
    }
    return result;
}

QString firstValue(const QVariantList &items)
{
    return items.isEmpty() ? QString() : variantText(items.first().toMap().value(QStringLiteral("value")));
}

} // namespace

LeaderCentre::LeaderCentre(QObject *parent)
    : QObject(parent)
{}

void LeaderCentre::setApi(RechargeApi *api)
{
    m_api = api;
    // Only while open: the page's own lookups load the same record and report for themselves.
    connect(api, &RechargeApi::leaderTeamCreated, this, [this](const QVariantMap &team) {
        if (!m_opened)
            return;
        m_teamCode = variantText(team.value(QStringLiteral("team_code")));
        m_section = QStringLiteral("teams");
        emit choiceChanged();
        emit notice(QStringLiteral("团长团创建成功"), false);
    });
    connect(api, &RechargeApi::leaderTeamDetailLoaded, this, [this](const QVariantMap &team) {
        if (!m_opened)
            return;
        if (const QString code = variantText(team.value(QStringLiteral("team_code"))); !code.isEmpty())
            setTeamCode(code);
        emit notice(QStringLiteral("团长团信息已更新"), false);
    });
}

void LeaderCentre::setOpened(bool opened)
{
    if (opened == m_opened)
        return;
    m_opened = opened;
    emit openedChanged();
    if (!opened)
        return;
    // Each opening starts on the first tab the account has (on the next turn: whoever opens may pass the
    // entry in afterwards), and the teams are asked for again.
    m_section = QStringLiteral("create");
    emit choiceChanged();
    QMetaObject::invokeMethod(
        this,
        [this] {
            fitChoices();
            emit choiceChanged();
        },
        Qt::QueuedConnection);
    reloadTeams();
}

void LeaderCentre::setEntry(const QVariantMap &entry)
{
    if (entry == m_entry)
        return;
    m_entry = entry;
    emit entryChanged();
    fitChoices();
    emit choiceChanged();
}

void LeaderCentre::setTeams(const QVariantList &teams)
{
    if (teams == m_teams)
        return;
    m_teams = teams;
    emit teamsChanged();
}

void LeaderCentre::setTeam(const QVariantMap &team)
{
    if (team == m_team)
        return;
    m_team = team;
    emit teamChanged();
    emit choiceChanged();
}

bool LeaderCentre::isLeader() const
{
    return m_entry.value(QStringLiteral("is_leader")) == QVariant(true);
}

QVariantList LeaderCentre::lines() const
{
    return choices(m_entry.value(QStringLiteral("node_types")));
}

QVariantList LeaderCentre::sizes() const
{
    return choices(m_entry.value(QStringLiteral("member_counts")));
}

QVariantList LeaderCentre::regions() const
{
    return choices(choiceOf(lines(), m_line).value(QStringLiteral("regions")));
}

void LeaderCentre::fitChoices()
{
    const QVariantList lines = this->lines();
    if (choiceOf(lines, m_line).isEmpty())
        m_line = firstValue(lines);
    const QVariantList regions = this->regions();
    if (choiceOf(regions, m_region).isEmpty())
        m_region = firstValue(regions);
    if (m_size <= 0)
        m_size = static_cast<int>(variantInteger(sizes().value(0).toMap().value(QStringLiteral("value"))));
    if (!isLeader() && m_section == QLatin1String("create"))
        m_section = QStringLiteral("join");
}

void LeaderCentre::selectSection(const QString &section)
{
    m_section = section;
    emit choiceChanged();
    if (section == QLatin1String("teams"))
        reloadTeams();
}

void LeaderCentre::selectLine(const QString &line)
{
    m_line = line;
    m_region = firstValue(regions());
    emit choiceChanged();
}

void LeaderCentre::setRegion(const QString &region)
{
    if (region == m_region)
        return;
    m_region = region;
    emit choiceChanged();
}

void LeaderCentre::setSize(int size)
{
    if (size == m_size)
        return;
    m_size = size;
    emit choiceChanged();
}

void LeaderCentre::setGameId(const QString &gameId)
{
    if (gameId == m_gameId)
        return;
    m_gameId = gameId;
    emit choiceChanged();
}

void LeaderCentre::setTeamCode(const QString &code)
{
    if (code == m_teamCode)
        return;
    m_teamCode = code;
    emit choiceChanged();
}

bool LeaderCentre::found() const
{
    const QString code =
        GroupPurchase::normalizedCode(variantText(m_team.value(QStringLiteral("team_code"))));
    return !code.isEmpty() && code == GroupPurchase::normalizedCode(m_teamCode);
}

qint64 LeaderCentre::guid() const
{
    return m_api ? m_api->sessionGuid() : 0;
}

// The list only changes on the service (members join, teams form): it is asked for whenever shown.
void LeaderCentre::reloadTeams()
{
    if (isLeader() && guid() > 0)
        m_api->loadLeaderTeams(guid(), 1, 20);
}

void LeaderCentre::createTeam()
{
    if (!isLeader())
        emit notice(QStringLiteral("当前账号暂未开通团长资格"), true);
    else if (m_api && !m_api->createLeaderTeamFor(m_entry, m_line, m_region, m_size))
        emit notice(QStringLiteral("请选择有效的线路、人数和地区组合"), true);
}

void LeaderCentre::queryTeam(const QString &code)
{
    const QString typed = code.trimmed();
    if (typed.isEmpty()) {
        emit notice(QStringLiteral("请输入团码"), true);
        return;
    }
    m_teamCode = typed;
    m_gameId.clear();
    emit choiceChanged();
    if (m_api)
        m_api->loadLeaderTeamDetail(guid(), typed, GroupPurchase::ownTeamId(m_teams, typed));
}

void LeaderCentre::joinTeam()
{
    if (!found()) {
        emit notice(QStringLiteral("请先查询团长团"), true);
        return;
    }
    if (m_gameId.isEmpty()) {
        emit notice(QStringLiteral("请选择可用游戏"), true);
        return;
    }
    QString name = variantText(m_team.value(QStringLiteral("name")));
    if (name.isEmpty())
        name = QStringLiteral("团长团席位");
    if (m_api)
        m_api->payment()->createSeatOrder(m_team, variantText(m_team.value(QStringLiteral("team_code"))),
                                          m_gameId, name,
                                          variantInteger(m_team.value(QStringLiteral("price_fen"))));
}

void LeaderCentre::end()
{
    setOpened(false);
    if (m_teamCode.isEmpty() && m_gameId.isEmpty())
        return;
    m_teamCode.clear();
    m_gameId.clear();
    emit choiceChanged();
}
