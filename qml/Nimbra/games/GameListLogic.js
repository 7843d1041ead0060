.pragma library

// Stateless helpers of the game views: the placeholder record, the local search match and the choice
// of picture for a game.

function emptyGame() {
    return {
        id: "",
        name: "暂无游戏",
        title: "暂无游戏",
        en: "GAME",
        hue: 220,
        cat: "全部",
        country: "",
        vendor: "等待游戏列表",
        hot: false,
        popular: 0,
        ping: 0,
        servers: ["默认区服"],
        iconSource: "",
        backgroundSource: "",
        packageName: "",
        package_name: "",
        ip_list: [],
        ipList: []
    }
}

function matchesGame(game, query) {
    const q = String(query === undefined || query === null ? "" : query).trim().toLowerCase()
    if (q === "")
        return true
    if (!game)
        return false
    const name = String(game.name || game.title || "").toLowerCase()
    const en = String(game.en || "").toLowerCase()
    return name.indexOf(q) >= 0 || en.indexOf(q) >= 0
}

// Formats the image decoder cannot read here; such a URL shows the tile's gradient instead.
const unsupportedImage = /\.(webp|avif|jxl)([?#].*)?$/i

function isSupportedImageUrl(url) {
    return !unsupportedImage.test(String(url))
}

// The games whose icon and background pictures ship in the application's resources.
const bundledPictures = ["jx3", "lol", "apex", "la", "yj", "ys", "taris", "cs2", "dnf", "pubg", "val", "wow"]

function imageSource(game, assetRoot, type) {
    if (!game)
        return ""
    const remote = type === "background" ? game.backgroundSource : game.iconSource
    if (remote)
        return isSupportedImageUrl(remote) ? String(remote) : ""
    const id = String(game.id === undefined || game.id === null ? "" : game.id).trim()
    // Any other id would name a picture that is not there: a failed load and a warning per game.
    if (bundledPictures.indexOf(id) < 0)
        return ""
    return assetRoot + (type === "background" ? "/bgs/" : "/icons/") + id + ".jpg"
}

// The id of a record as text: ids arrive as numbers or text, selections are kept as text.
function gameId(game) {
    if (!game || game.id === undefined || game.id === null)
        return ""
    return String(game.id).trim()
}

// What a screen reader hears for a game entry: its name and, where the record names one, its region,
// so that two entries of one game do not sound alike.
function accessibleGameName(game) {
    const name = game ? String(game.name || game.title || "").trim() : ""
    const servers = game && game.servers && game.servers.length > 0 ? String(game.servers[0]).trim() : ""
    const region = game ? String(game.country || "").trim() || servers : ""
    return region !== "" && region !== name ? name + "，" + region : name
}

// The library pager never asks for a page outside 1 .. max(1, totalPages).
function clampPage(page, totalPages) {
    const last = Math.max(1, Math.floor(Number(totalPages)) || 1)
    const wanted = Math.floor(Number(page)) || 1
    return Math.min(Math.max(wanted, 1), last)
}

// "全部" stands for no category filter.
function categoryParam(category) {
    const text = String(category === undefined || category === null ? "" : category)
    return text === "全部" ? "" : text
}

function tagWidth(text) {
    return Math.max(38, 12 * String(text).length + 14)
}

function chipWidth(text) {
    return 45 + 10 * String(text).length
}
