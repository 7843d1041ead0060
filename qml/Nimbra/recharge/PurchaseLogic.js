.pragma library
.import "RechargeLogic.js" as RechargeLogic

// The membership page's choice and order rules, pure functions: plan lists and options, and the
// order requests.

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

// --- Order payloads -------------------------------------------------------------------------------

function copyMap(m) {
    const out = {}
    if (RechargeLogic.isMap(m)) {
        for (const key in m)
            out[key] = m[key]
    }
    return out
}

// The order request prepared with the plan (a copy: the selections add to it). Empty when the plan
// names nothing to order.
function basePayload(product) {
    return RechargeLogic.isMap(product) ? copyMap(product.payload) : {}
}

// The node type and region ids of the option of a list whose value is `value`.
function optionIds(options, value) {
    const list = RechargeLogic.asList(options)
    for (let i = 0; i < list.length; ++i) {
        if (RechargeLogic.isMap(list[i]) && RechargeLogic.textOf(list[i].value) === value)
            return list[i].ids
    }
    return null
}

function copyDefined(target, source, keys) {
    if (!RechargeLogic.isMap(source))
        return
    for (let i = 0; i < keys.length; ++i) {
        if (source[keys[i]] !== undefined && source[keys[i]] !== null)
            target[keys[i]] = source[keys[i]]
    }
}

// sel: {ipType, ipOptions, region, regionOptions, products}. The matching plan's ids win over the
// options' ones: a region key can exist under more than one node type.
function withPrivateSelection(payload, sel) {
    const out = copyMap(payload)
    const s = RechargeLogic.isMap(sel) ? sel : {}
    const ip = RechargeLogic.textOf(s.ipType)
    const region = RechargeLogic.textOf(s.region)
    if (ip !== "") {
        out.ip_type = ip
        copyDefined(out, optionIds(s.ipOptions, ip), ["node_type_id", "node_type_key"])
    }
    if (region !== "") {
        out.region = region
        copyDefined(out, optionIds(s.regionOptions, region), ["region_id", "region_key"])
    }
    const products = RechargeLogic.asList(s.products)
    for (let i = 0; i < products.length; ++i) {
        if (nodeOf(products[i]) === ip && regionOf(products[i]) === region) {
            copyDefined(out, products[i].ids, ["node_type_id", "node_type_key", "region_id", "region_key"])
            break
        }
    }
    return out
}

// sel: {ipType, teamSize, gameOption ({value, text, packageName, gameId} or null), gameId}.
function withGroupSelection(payload, sel) {
    const out = copyMap(payload)
    const s = RechargeLogic.isMap(sel) ? sel : {}
    const ip = RechargeLogic.textOf(s.ipType)
    if (ip !== "")
        out.ip_type = ip
    const size = RechargeLogic.number(s.teamSize, 0)
    if (size > 0)
        out.member_count = size
    const option = RechargeLogic.isMap(s.gameOption) ? s.gameOption : {}
    const gameId = RechargeLogic.textOf(s.gameId)
    const packageName = RechargeLogic.textOf(option.packageName)
    if (packageName !== "")
        out.package_name = packageName
    else if (gameId.indexOf(".") >= 0)
        out.package_name = gameId
    if (RechargeLogic.isSet(option.gameId))
        out.game_id = option.gameId
    else
        delete out.game_id
    const nodeTypeId = RechargeLogic.number(out.node_type_id, 0)
    if (nodeTypeId > 0)
        out.node_type_id = nodeTypeId
    return out
}
