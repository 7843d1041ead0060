.pragma library

// Pure helpers of the acceleration controller on the main window: route keys and kinds, rates, a
// game's address list, the route choice after a reload, the run log and the display figures. Nothing
// here touches the window or the back-end objects; the window passes in what a function needs.

const maxLogEntries = 300
const maxImportantEntries = 20

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

// Whether a configuration answered for nodeId belongs to this route. The route client names the node
// by node_id before id, so a route carrying both is matched by either.
function nodeMatchesConfig(node, nodeId) {
    const id = String(nodeId === undefined || nodeId === null ? "" : nodeId).trim()
    if (!node || id === "")
        return false
    return nodeRequestKey(node) === id || (!isBlank(node.node_id) && String(node.node_id).trim() === id)
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

function detailKey(packageName, country) {
    return packageName + "\u001f" + country
}

function gamePackageName(game) {
    return firstText(game, ["package_name", "packageName"])
}

// A game's region: its first server entry, else its country, else the default region.
function gameRegion(game) {
    if (game && game.servers && game.servers.length > 0 && !isBlank(game.servers[0]))
        return String(game.servers[0])
    if (game && !isBlank(game.country))
        return String(game.country)
    return "默认区服"
}

function routeGamePayload(game, gameId, server) {
    const text = function (value) { return isBlank(value) ? "" : String(value) }
    return {
        id: text(game && !isBlank(game.id) ? game.id : gameId),
        package_name: text(game ? (game.package_name || game.packageName) : ""),
        country: text(game && !isBlank(game.country) ? game.country : server),
        server: text(server)
    }
}

// The route configuration as the text the runtime configuration builder takes.
function routeConfigText(node) {
    if (!node)
        return ""
    const keys = ["config", "config_json", "runtime_config"]
    for (let i = 0; i < keys.length; ++i) {
        const value = node[keys[i]]
        if (value === undefined || value === null || value === "")
            continue
        return typeof value === "string" ? value : JSON.stringify(value)
    }
    return ""
}

// The route to select after a route list arrived: the first usable route whose stable key is the
// target key, else the first usable one. Missing and full routes are never chosen.
function selectRoute(routes, targetKey) {
    let fallback = null
    const list = routes || []
    for (let i = 0; i < list.length; ++i) {
        const route = list[i]
        if (!route || route.full === true)
            continue
        if (fallback === null)
            fallback = route
        const key = nodeStableKey(route)
        if (key !== "" && key === targetKey)
            return { node: route, matched: true }
    }
    return { node: fallback, matched: false }
}

// The route list with every route the configuration belongs to carrying it as its config.
function routesWithConfig(routes, config, nodeId) {
    const list = routes || []
    const result = []
    for (let i = 0; i < list.length; ++i) {
        const route = list[i]
        if (nodeMatchesConfig(route, nodeId))
            result.push(Object.assign({}, route, { config: config }))
        else
            result.push(route)
    }
    return result
}

// Keeps the log within its cap: the last important entries (at most 20) first, then the last others.
function trimLog(entries) {
    if (entries.length <= maxLogEntries)
        return entries
    const important = []
    const others = []
    for (let i = 0; i < entries.length; ++i)
        (entries[i].important ? important : others).push(entries[i])
    const kept = important.slice(Math.max(0, important.length - maxImportantEntries))
    return kept.concat(others.slice(Math.max(0, others.length - (maxLogEntries - kept.length))))
}

// A new log list: the message's non-empty lines appended, then trimmed. isError decides per line.
function appendLogLines(entries, message, isError, time) {
    const lines = String(message === undefined || message === null ? "" : message).split(/\r?\n/)
    const added = []
    for (let i = 0; i < lines.length; ++i) {
        if (lines[i] === "")
            continue
        added.push({ time: time, text: lines[i], error: isError(lines[i]),
                     important: lines[i].indexOf("[GameIP]") >= 0 })
    }
    if (added.length === 0)
        return entries
    return trimLog(entries.concat(added))
}

function logText(entries) {
    return entries.map(function (entry) {
        return "[" + entry.time + "] " + (entry.error ? "[ERROR] " : "") + entry.text
    }).join("\n")
}

const ansiColour = /\x1b\[[0-9;]*m/g
const errorWord = /(^|\s)(error|fatal|panic)(?=\s|$)/i

function stripAnsi(text) {
    return String(text).replace(ansiColour, "")
}

function isCoreErrorLine(line) {
    return errorWord.test(line)
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

function latencyBaseline(node, game) {
    const candidates = [node ? node.latency : 0, node ? node.ping : 0, node ? node.ms : 0, game ? game.ping : 0]
    for (let i = 0; i < candidates.length; ++i) {
        const value = Number(candidates[i])
        if (candidates[i] !== null && candidates[i] !== "" && isFinite(value) && value > 0)
            return Math.round(value)
    }
    return 68
}

function nextDisconnectedLatency(baseline, random) {
    return Math.max(1, Math.min(999, baseline + Math.round((random - 0.5) * 8)))
}

function initialBoostedLatency(game, disconnectedLatency) {
    return Math.max(1, Number(game ? game.ping : 0) || Math.round(disconnectedLatency * 0.48))
}

function nextBoostedLatency(current, random) {
    return Math.max(22, Math.min(58, current + (random - 0.5) * 6))
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

function clockText(date) {
    const two = function (n) { return n < 10 ? "0" + n : String(n) }
    return two(date.getHours()) + ":" + two(date.getMinutes())
}

function timeText(date) {
    const two = function (n) { return n < 10 ? "0" + n : String(n) }
    return two(date.getHours()) + ":" + two(date.getMinutes()) + ":" + two(date.getSeconds())
}
