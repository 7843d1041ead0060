.pragma library

// Display helpers of the membership screens: pure functions over the loosely named membership map
// that the account and purchase services report.

function isActiveMembership(m) {
    if (!m)
        return false
    const vipNum = Number(m.vip_num !== undefined ? m.vip_num : (m.vipNum !== undefined ? m.vipNum : 0))
    return m.is_vip === true || m.active === true || vipNum > 0 || m.status === "active" || m.status === "enabled"
}

function firstTruthy(m, keys) {
    for (let i = 0; i < keys.length; ++i) {
        if (m[keys[i]])
            return m[keys[i]]
    }
    return undefined
}

function isPermanent(m) {
    return m.permanent === true || m.is_permanent === true || m.lifetime === true
        || m.status === "lifetime" || m.status === "permanent"
}

function twoDigits(n) {
    return n < 10 ? "0" + n : String(n)
}

function membershipExpiryText(m) {
    if (!isActiveMembership(m))
        return "未开通"
    const expiry = Number(firstTruthy(m, ["vip_expire_at", "expire_at", "end_time", "valid_until", "expire_time",
                                          "expired_at"]))
    const days = (m.remaining_days !== undefined && m.remaining_days !== null) ? m.remaining_days : m.left_days
    // A missing or unreadable expiry is not a date: it would otherwise render as "NaN-NaN-NaN".
    if (!isFinite(expiry) || expiry <= 0)
        return isPermanent(m) ? "永久有效" : "到期时间未知"
    const date = new Date(expiry * 1000)
    let text = date.getFullYear() + "-" + twoDigits(date.getMonth() + 1) + "-" + twoDigits(date.getDate()) + " 到期"
    if (days !== undefined && days !== null)
        text += " · 剩余 " + days + " 天"
    return text
}

const typeNames = [
    [["shared", "共享"], "共享会员"],
    [["private", "独享"], "独享会员"],
    [["group", "拼团", "团购"], "拼团会员"],
    [["month", "月卡", "monthly"], "月卡会员"],
    [["quarter", "季卡"], "季卡会员"],
    [["year", "年卡", "annual"], "年卡会员"],
    [["lifetime", "终身", "永久"], "终身会员"]
]

function membershipTypeText(m) {
    if (!isActiveMembership(m))
        return ""
    const value = firstTruthy(m, ["vip_type", "member_type", "plan_type", "type", "plan_name", "product_name"])
    const raw = (value === undefined ? "" : String(value)).toLowerCase().replace(/[^a-z0-9\u4e00-\u9fa5]/g, "")
    if (raw === "")
        return "尊享会员"
    for (let i = 0; i < typeNames.length; ++i) {
        if (typeNames[i][0].indexOf(raw) >= 0)
            return typeNames[i][1]
    }
    return raw
}
