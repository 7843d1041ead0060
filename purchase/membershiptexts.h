#pragma once

#include <QString>
#include <QVariantMap>

// The short texts of a membership as the state store keeps it (GlobalData::membership): the service
// names its fields loosely (vip_num or vipNum, one of six expiry keys), so they are read here, once,
// rather than by every screen that shows them.
namespace nimbra::purchase {

// is_vip or active true, a vip_num (else vipNum) above 0, or the status "active" or "enabled".
bool isActiveMembership(const QVariantMap &membership);
// "共享会员", "独享会员", "拼团会员", "月卡会员", "季卡会员", "年卡会员", "终身会员" by its type or plan
// name; another name stripped to a–z, 0–9 and CJK, lower case; "尊享会员" without a name; "" when not
// active.
QString membershipTypeText(const QVariantMap &membership);
// "yyyy-MM-dd 到期" (local date) with " · 剩余 N 天" when the days are given; "永久有效",
// "到期时间未知" without an expiry; "未开通" when not active.
QString membershipExpiryText(const QVariantMap &membership);
// The membership page's headline and the line below it.
QString membershipTitle(const QVariantMap &membership);
QString membershipDescription(const QVariantMap &membership, bool loggedIn);

} // namespace nimbra::purchase
