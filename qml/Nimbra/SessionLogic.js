.pragma library

// Display helpers of the main window: rates, the known games and the account's figures. The session's
// flows and rules, and the routes' keys and kinds, are in AccelerationSession and its parts (C++);
// nothing here touches the window or the back-end objects.

// A byte count in binary units with one decimal below ten of a unit: [number text, unit prefix].
function scaledBytes(bytes, wholeFrom) {
    let value = Number(bytes)
    if (!isFinite(value) || value < 0)
        value = 0
    const units = ["K", "M", "G", "T"]
    let unit = ""
    for (let i = 0; i < units.length && value >= 1024; ++i) {
        value /= 1024
        unit = units[i]
    }
    return [unit === "" ? String(Math.round(value)) : value.toFixed(value >= wholeFrom ? 0 : 1), unit]
}

function formatNetworkRate(bytesPerSecond) {
    const scaled = scaledBytes(bytesPerSecond, Number(bytesPerSecond) >= 1024 * 1024 ? 10 : 100)
    return scaled[0] + " " + (scaled[1] || "B") + "/s"
}

// A session's byte total: "0 B", "1.5 KB", "12 MB".
function formatBytes(bytes) {
    const scaled = scaledBytes(bytes, 10)
    return scaled[0] + " " + scaled[1] + "B"
}

// A session's duration as hours:minutes:seconds, the hours going past 99 when they must.
function formatDuration(seconds) {
    let value = Math.floor(Number(seconds))
    if (!isFinite(value) || value < 0)
        value = 0
    const two = n => (n < 10 ? "0" : "") + n
    return two(Math.floor(value / 3600)) + ":" + two(Math.floor(value / 60) % 60) + ":" + two(value % 60)
}

// The session's figures in one line, each with its label, for the tray's tooltip.
function sessionSummary(seconds, latencyText, averageText, sentBytes, receivedBytes) {
    return "加速时长 " + formatDuration(seconds) + " · 节点延迟 " + latencyText + "（平均 " + averageText + "）"
        + " · 加速流量 ↑ " + formatBytes(sentBytes) + " ↓ " + formatBytes(receivedBytes)
}

function maskUserName(phone) {
    const text = String(phone === undefined || phone === null ? "" : phone)
    if (text === "")
        return "已登录"
    return text.substring(0, 3) + "****" + text.substring(Math.max(0, text.length - 4))
}

function vipNumber(membership, authVipNum) {
    const candidates = [membership ? membership.vip_num : 0, membership ? membership.vipNum : 0, authVipNum]
    for (let i = 0; i < candidates.length; ++i) {
        const value = Number(candidates[i])
        if (isFinite(value) && value !== 0)
            return value
    }
    return 0
}

// Known games: the common ones, then the library page, the first record of an id winning.
function allKnownGames(commonGames, games) {
    const seen = {}
    const result = []
    const lists = [commonGames || [], games || []]
    for (let l = 0; l < lists.length; ++l) {
        for (let i = 0; i < lists[l].length; ++i) {
            const game = lists[l][i]
            const id = String(game ? game.id : undefined)
            if (seen[id])
                continue
            seen[id] = true
            result.push(game)
        }
    }
    return result
}

function gamesById(games) {
    const map = {}
    for (let i = 0; i < games.length; ++i)
        map[String(games[i].id)] = games[i]
    return map
}

function categories(gameCategories) {
    const result = ["全部"]
    const list = gameCategories || []
    for (let i = 0; i < list.length; ++i) {
        const name = String(list[i] === undefined || list[i] === null ? "" : list[i])
        if (name !== "" && result.indexOf(name) < 0)
            result.push(name)
    }
    return result
}

