.pragma library
.import "RechargeLogic.js" as RechargeLogic

// Pure display rules of group buying: the counts and texts of the join panel, the leader centre
// and the group detail (the requests are built in C++, purchase/purchaserequests). Teams and their
// members arrive in one shape (RechargeApi brings them into it); the readers still tolerate a missing
// map.

const isMap = RechargeLogic.isMap
const list = RechargeLogic.asList
const text = RechargeLogic.textOf

function num(value) {
    return RechargeLogic.number(value, 0)
}

function firstChar(value) {
    const chars = Array.from(text(value))
    return chars.length > 0 ? chars[0] : ""
}

// Local "yyyy-MM-dd hh:mm"; "—" when the service gave no time.
function displayTime(unixSeconds) {
    const seconds = num(unixSeconds)
    if (seconds <= 0)
        return "—"
    const d = new Date(seconds * 1000)
    return RechargeLogic.localDate(seconds) + " " + RechargeLogic.twoDigits(d.getHours()) + ":"
        + RechargeLogic.twoDigits(d.getMinutes())
}

// ---------------------------------------------------------------------------
// Team readings (join panel and leader centre)

// A team's games (RechargeApi makes them choices) with a text for each.
function gameChoices(games) {
    return list(games).map(g => ({ value: text(g.value), text: text(g.text) || "游戏",
                                   available: g.available !== false }))
}

function paidCount(team) {
    const t = isMap(team) ? team : {}
    const paid = num(t.paid_member_count)
    return paid > 0 ? paid : list(t.members).length
}

function teamSize(team) {
    return teamTarget(team) || 5
}

function teamHeading(team) {
    const t = isMap(team) ? team : {}
    return "拼团详情 · " + (text(t.node_type_name) || "拼团") + " · " + teamSize(t) + "人团"
}

function lineText(team) {
    const t = isMap(team) ? team : {}
    const parts = [text(t.region_name), text(t.node_type_name)].filter(s => s !== "")
    return parts.length > 0 ? parts.join(" · ") : "—"
}

// The join panel's member slots: at least 5, as many as the team has seats or members, at most 10.
function memberSlots(team) {
    const t = isMap(team) ? team : {}
    const members = list(t.members)
    const total = Math.min(10, Math.max(5, num(t.member_count), members.length))
    const slots = []
    for (let i = 0; i < total; ++i) {
        const m = i < members.length && isMap(members[i]) ? members[i] : null
        if (!m) {
            slots.push({ filled: false, initial: "", name: "空位 · 等待加入", detail: "" })
            continue
        }
        slots.push({ filled: true, initial: firstChar(m.display_name) || "员", name: text(m.nickname) || "团员",
                     detail: m.has_game === true ? "已选游戏" : "待选择" })
    }
    return slots
}

// Ten seats of the strip: the user's own first once a game is chosen, then the paid members'.
function seatStates(paid, gameChosen) {
    const states = []
    for (let i = 0; i < 10; ++i) {
        if (i === 0 && gameChosen)
            states.push("mine")
        else
            states.push(i >= 1 && i <= num(paid) ? "taken" : "free")
    }
    return states
}

function teamCurrent(team) {
    return paidCount(team)
}

function teamTarget(team) {
    return isMap(team) ? Math.max(0, num(team.member_count)) : 0
}

const leaderStatusNames = [
    [["forming", "waiting", "pending"], "组团中"],
    [["formed", "active", "success", "completed"], "已成团"],
    [["expired"], "已过期"],
    [["failed", "failure"], "成团失败"],
    [["closed", "cancelled", "canceled"], "已关闭"]
]

const detailStatusNames = [
    [["forming", "waiting"], "组团中"],
    [["formed", "active", "completed"], "已成团"],
    [["expired", "closed"], "已结束"]
]

const memberStatusNames = [
    [["paid"], "已支付"],
    [["pending", "pending_payment", "unpaid"], "待支付"],
    [["joined"], "已加入"]
]

function statusName(raw, names) {
    const key = raw.toLowerCase()
    for (let i = 0; i < names.length; ++i) {
        if (names[i][0].indexOf(key) >= 0)
            return names[i][1]
    }
    return RechargeLogic.unnamedStatusText(raw)
}

function teamStatusText(team) {
    const t = isMap(team) ? team : {}
    return statusName(text(t.status_label) || text(t.status) || "forming", leaderStatusNames)
}

// The join panel's badge: the service's label, "进行中" without one.
function joinStatusText(team) {
    const label = text(isMap(team) ? team.status_label : "")
    return label === "" ? "进行中" : statusName(label, leaderStatusNames)
}

// ---------------------------------------------------------------------------
// Group detail (normal group orders)

function orderGroup(order) {
    return isMap(order) && isMap(order.group) ? order.group : {}
}

function detailTeam(group) {
    if (!isMap(group))
        return {}
    return isMap(group.team) && Object.keys(group.team).length > 0 ? group.team : group
}

const paidOrderStates = ["paid", "pending_activation", "active", "completed"]

function isPaidOrder(order) {
    if (!isMap(order))
        return false
    return text(order.payment_status) === "paid" || paidOrderStates.indexOf(text(order.order_status)) >= 0
        || paidOrderStates.indexOf(text(order.status)) >= 0
}

// The members to list: the team's; else, for a paid order the service has not placed yet, the user.
function detailMembers(team, order) {
    const members = list(isMap(team) ? team.members : [])
    if (members.length > 0)
        return members
    if (!isPaidOrder(order))
        return []
    return [{ nickname: "我", display_name: "我",
              game_name: text(order.game_name) || text(order.product_name) || "已选游戏", has_game: true,
              status_text: "", pay_status: "paid", status: "" }]
}

function detailCurrent(team, order) {
    const t = isMap(team) ? team : {}
    const current = num(t.paid_member_count) || num(orderGroup(order).paid_member_count)
        || detailMembers(t, order).length
    return isPaidOrder(order) ? Math.max(1, current) : current
}

function detailTarget(team, order) {
    return teamTarget(team) || teamTarget(orderGroup(order))
}

function progressText(current, target) {
    return target > 0 ? current + " / " + target + " 人" : current + " 人"
}

function detailStatusText(team, group, order) {
    const t = isMap(team) ? team : {}
    const raw = text(t.status_label) || text(t.status) || text(isMap(group) ? group.group_status : "")
        || text(orderGroup(order).status) || "forming"
    return statusName(raw, detailStatusNames)
}

function nodeText(team) {
    const t = isMap(team) ? team : {}
    return text(t.node_type_name) || text(t.region_name) || text(t.region_key) || "—"
}

function sources(team, group, order) {
    return [isMap(team) ? team : {}, isMap(group) ? group : {}, isMap(order) ? order : {}, orderGroup(order)]
}

function teamType(team, group, order) {
    const all = sources(team, group, order)
    for (let i = 0; i < all.length; ++i) {
        const value = text(all[i].team_type)
        if (value !== "")
            return value.toLowerCase()
    }
    return "normal"
}

function knownTeamCode(team, group, order) {
    const all = sources(team, group, order)
    for (let i = 0; i < all.length; ++i) {
        const value = text(all[i].team_code)
        if (value !== "")
            return value
    }
    return ""
}

// The identity field: a leader team by its code (issued a little after the team), a normal one by id.
function identity(team, group, order) {
    if (teamType(team, group, order) === "leader")
        return { label: "团码", value: knownTeamCode(team, group, order) || "生成中，请刷新" }
    const id = num(isMap(team) ? team.team_id : 0)
    return { label: "拼团编号", value: id > 0 ? "#" + id : "—" }
}

function memberLine(member) {
    const m = isMap(member) ? member : {}
    return (text(m.nickname) || "团员") + " · " + (text(m.game_name) || "待分配游戏")
}

function memberStatus(member) {
    const m = isMap(member) ? member : {}
    if (text(m.status_text) !== "")
        return text(m.status_text)
    if (text(m.pay_status) === "paid")
        return "已支付"
    return text(m.status) === "" ? "已加入" : statusName(text(m.status), memberStatusNames)
}

