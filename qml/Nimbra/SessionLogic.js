.pragma library

// Display helpers of the main window: route keys and kinds, rates, a game's address list, the known
// games and the account's figures. The session's flows and rules are in AccelerationSession (C++);
// nothing here touches the window or the back-end objects.

function isBlank(value) {
    return value === undefined || value === null || String(value).trim() === ""
}

// The first non-empty value of the given keys, as trimmed text; "" when none.
function firstText(record, keys) {
    if (!record)
        return ""
    for (let i = 0; i < keys.length; ++i) {
        const value = record[keys[i]]
        if (!isBlank(value))
            return String(value).trim()
    }
    return ""
}

function nodeRequestKey(node) {
    return firstText(node, ["id", "node_id", "web_url", "webUrl", "connect_host", "connectHost"])
}

function nodeStableKey(node) {
    return firstText(node, ["id", "node_id", "route_id", "key", "web_url", "webUrl", "connect_host", "connectHost",
                            "name"])
}

function nodeRequestable(node) {
    return nodeRequestKey(node) !== ""
}

// Rows of kind, words, label, type label, colour (a theme token name or a fixed colour) and icon;
// the first row whose words occur in the route's text decides.
const kinds = [
    { kind: "native", words: ["native_list", "home_list", "native", "原生", "住宅"], label: "原生住宅",
      typeLabel: "独享节点", color: "neon", icon: "shield" },
    { kind: "idc", words: ["idc_list", "idc", "机房"], label: "IDC 专线", typeLabel: "独享节点", color: "#a879ff",
      icon: "link" },
    { kind: "isp", words: ["isp_list", "isp", "运营商"], label: "运营商", typeLabel: "独享节点", color: "#ffb14d",
      icon: "bolt" },
    { kind: "shared", words: ["shared_list", "shared", "共享"], label: "共享节点", typeLabel: "共享节点",
      color: "primary", icon: "globe" }
]
const standardKind = { kind: "standard", words: [], label: "专线节点", typeLabel: "独享节点", color: "#49d8ff",
                       icon: "globe" }

function kindRow(node) {
    const fields = ["source_group", "source", "type", "type_name", "name", "note"]
    const parts = []
    for (let i = 0; i < fields.length; ++i) {
        const value = node ? node[fields[i]] : undefined
        if (value !== undefined && value !== null)
            parts.push(String(value))
    }
    const text = parts.join(" ").toLowerCase()
    for (let k = 0; k < kinds.length; ++k) {
        for (let w = 0; w < kinds[k].words.length; ++w) {
            if (text.indexOf(kinds[k].words[w]) >= 0)
                return kinds[k]
        }
    }
    return standardKind
}

function nodeKind(node) {
    return kindRow(node).kind
}

function nodeKindLabel(node) {
    return kindRow(node).label
}

function nodeTypeLabel(node) {
    return kindRow(node).typeLabel
}

function nodeKindIcon(node) {
    return kindRow(node).icon
}

function nodeKindColor(node, neon, primary) {
    const color = kindRow(node).color
    return color === "neon" ? neon : (color === "primary" ? primary : color)
}

function nodeDetailLabel(node) {
    const row = kindRow(node)
    const note = node && !isBlank(node.note) ? String(node.note) : "可用线路"
    return row.kind === "shared" ? note : row.label + " · " + note
}

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

// A text is split; a list (also the native lists handed over by the back end, which are not JS
// arrays but have a numeric length) is returned as it is.
function gameIpList(game) {
    if (!game)
        return []
    const value = game.ip_list ? game.ip_list : game.ipList
    if (typeof value === "string")
        return value.split(/[,;\s]+/).filter(function (item) { return item !== "" })
    if (value !== undefined && value !== null && typeof value.length === "number")
        return value
    return []
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

