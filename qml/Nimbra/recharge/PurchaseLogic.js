.pragma library
.import "RechargeLogic.js" as RechargeLogic

// The membership page's choice rules, pure functions: plan lists and options. The order requests are
// built in C++ (purchase/purchaserequests).

// --- Options and product lists --------------------------------------------------------------------

// The catalogue's games (in the game list's own shape) as game options, for an entry prepared before
// the catalogue arrived: {value, text, packageName, gameId}; a game with neither package nor id is no
// choice.
function catalogueGameOptions(games) {
    const list = RechargeLogic.asList(games)
    const result = []
    for (let i = 0; i < list.length; ++i) {
        const game = list[i]
        if (!RechargeLogic.isMap(game))
            continue
        const packageName = RechargeLogic.textOf(game.package_name)
        const id = RechargeLogic.textOf(game.id)
        const value = packageName || id
        if (value !== "")
            result.push({ value: value, text: RechargeLogic.textOf(game.name) || value, packageName: packageName,
                          gameId: id !== "" ? game.id : null })
    }
    return result
}

function nodeOf(p) {
    return RechargeLogic.isMap(p) ? RechargeLogic.textOf(p.nodeType) : ""
}

function regionOf(p) {
    return RechargeLogic.isMap(p) ? RechargeLogic.textOf(p.region) : ""
}

function memberCountOf(p) {
    return RechargeLogic.isMap(p) ? RechargeLogic.number(p.memberCount, 0) : 0
}

// The group plans for a team size and an IP type. A filter applies only when some plan carries the
// field it filters on, so a catalogue without sizes or node types shows every plan.
function groupProducts(products, teamSize, ipType) {
    const list = RechargeLogic.asList(products)
    const groupNode = p => RechargeLogic.isMap(p) ? RechargeLogic.textOf(p.ipType) : ""
    const hasCount = list.some(p => memberCountOf(p) > 0)
    const hasNode = list.some(p => groupNode(p) !== "")
    if (!hasCount && !hasNode)
        return list
    const size = RechargeLogic.number(teamSize, 0)
    const ip = RechargeLogic.textOf(ipType)
    return list.filter(p => (size <= 0 || !hasCount || memberCountOf(p) === size)
                       && (ip === "" || !hasNode || groupNode(p) === ip))
}

// The regions that the private plans of an IP type cover, once each, in plan order.
function privateRegionOptions(products, ipType, regionOptions) {
    const list = RechargeLogic.asList(products)
    const ip = RechargeLogic.textOf(ipType)
    const seen = {}
    const result = []
    for (let i = 0; i < list.length; ++i) {
        const p = list[i]
        if (ip !== "" && nodeOf(p) !== ip)
            continue
        const region = regionOf(p)
        if (region === "" || RechargeLogic.hasOwn(seen, region))
            continue
        seen[region] = true
        result.push({ value: region, text: RechargeLogic.textOf(p.regionName) || region })
    }
    return result.length > 0 ? result : RechargeLogic.asList(regionOptions)
}

function privateProductIndex(products, ipType, region) {
    const list = RechargeLogic.asList(products)
    const ip = RechargeLogic.textOf(ipType)
    const wanted = RechargeLogic.textOf(region)
    if (ip === "" || wanted === "")
        return -1
    for (let i = 0; i < list.length; ++i) {
        if (nodeOf(list[i]) === ip && regionOf(list[i]) === wanted)
            return i
    }
    return -1
}
