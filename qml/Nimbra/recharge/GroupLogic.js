.pragma library
.import "RechargeLogic.js" as RechargeLogic

// Pure display rules of group buying: the counts and texts of the join panel and the leader centre
// (the group detail's are read in C++, purchase/groupdetail; the requests in purchaserequests). Teams
// and their members arrive in one shape (RechargeApi brings them into it); the readers still tolerate
// a missing map.

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
