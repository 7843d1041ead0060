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

function imageSource(game, assetRoot, type) {
    if (!game)
        return ""
    const remote = type === "background" ? game.backgroundSource : game.iconSource
    if (remote)
        return isSupportedImageUrl(remote) ? String(remote) : ""
    const id = String(game.id === undefined || game.id === null ? "" : game.id).trim()
    if (id === "")
        return ""
    return assetRoot + (type === "background" ? "/bgs/" : "/icons/") + id + ".jpg"
}
