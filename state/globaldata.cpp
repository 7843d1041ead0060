#include "globaldata.h"

#include <QClipboard>
#include <QGuiApplication>

#include <array>
#include <utility>

namespace {

QVariantMap resetMembership()
{
    return {{QStringLiteral("vip_num"), 0}, {QStringLiteral("is_vip"), false}};
}

} // namespace

GlobalData::GlobalData(QObject *parent)
    : QObject(parent)
    , m_membership(resetMembership())
{}

GlobalData *GlobalData::instance()
{
    static GlobalData data;
    return &data;
}

QString GlobalData::translateServerMessage(const QString &message) const
{
    static const std::array<std::pair<QLatin1StringView, const char16_t *>, 15> table = {{
        {QLatin1StringView("not registered"), u"手机号未注册"},
        {QLatin1StringView("phone already registered"), u"手机号已注册"},
        {QLatin1StringView("admin phone not allowed"), u"该手机号不允许执行此操作"},
        {QLatin1StringView("account disabled"), u"账号已被禁用"},
        {QLatin1StringView("too many requests"), u"操作过于频繁，请稍后再试"},
        {QLatin1StringView("send failed"), u"验证码发送失败，请稍后再试"},
        {QLatin1StringView("verify failed"), u"验证码错误、已过期或验证失败"},
        {QLatin1StringView("invalid credentials"), u"手机号或密码错误"},
        {QLatin1StringView("invalid token"), u"登录状态已失效，请重新登录"},
        {QLatin1StringView("password too short"), u"密码至少需要 6 位"},
        {QLatin1StringView("password too long"), u"密码长度超过限制"},
        {QLatin1StringView("password mismatch"), u"两次输入的密码不一致"},
        {QLatin1StringView("invite bind failed"), u"邀请码绑定失败"},
        {QLatin1StringView("reset failed"), u"密码修改失败，请稍后再试"},
        {QLatin1StringView("bad request"), u"请求参数不合法"},
    }};
    const QString key = message.trimmed().toLower();
    for (const auto &[english, chinese] : table) {
        if (key == english)
            return QString::fromUtf16(chinese);
    }
    return message;
}

bool GlobalData::copyToClipboard(const QString &text) const
{
    if (text.isEmpty())
        return false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
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

    m_purchaseEntry.clear();
    emit purchaseEntryChanged();
    m_preparedPurchaseData.clear();
    emit preparedPurchaseDataChanged();

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
