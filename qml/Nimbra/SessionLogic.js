.pragma library

// Display helpers of the main window: rates, the known games and the account's figures. The session's
// flows and rules, and the routes' keys and kinds, are in AccelerationSession and its parts (C++);
// nothing here touches the window or the back-end objects.

function formatNetworkRate(bytesPerSecond) {
    let value = Number(bytesPerSecond)
    if (!isFinite(value) || value < 0)
        value = 0
    const mega = 1024 * 1024
    if (value >= mega)
        return (value / mega).toFixed(value >= 10 * mega ? 0 : 1) + " M/s"
    if (value >= 1024)
        return (value / 1024).toFixed(value >= 100 * 1024 ? 0 : 1) + " K/s"
    return Math.round(value) + " B/s"
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

