.pragma library
.import "RechargeLogic.js" as RechargeLogic

// The membership page's choice and order rules, pure functions: plan lists and options, and the
// order requests.

// --- Options and product lists --------------------------------------------------------------------

function optionValue(item, keys) {
    return RechargeLogic.firstText(item, keys)
}

function optionText(item, keys) {
    return RechargeLogic.firstText(item, keys)
}

// Every item of a loose list as {value, text, raw}: a map without a value is no choice.
function normalizedOptions(items, valueKeys, textKeys) {
    const list = RechargeLogic.asList(items)
    const result = []
    for (let i = 0; i < list.length; ++i) {
        const item = list[i]
        if (RechargeLogic.isMap(item)) {
            const value = optionValue(item, valueKeys)
            if (value !== "")
                result.push({ value: value, text: optionText(item, textKeys) || value, raw: item })
        } else {
            const text = RechargeLogic.textOf(item)
            if (text !== "")
                result.push({ value: text, text: text, raw: item })
        }
    }
    return result
}

function nodeOf(p) {
    return RechargeLogic.firstText(p, ["node_type_key", "node_type_id"])
}

function regionOf(p) {
    return RechargeLogic.firstText(p, ["region_key", "region_id"])
}

function memberCountOf(p) {
    return RechargeLogic.number(RechargeLogic.firstDefined(p, ["member_count", "team_size", "group_size", "people_count"]), 0)
}

// The group plans for a team size and an IP type. A filter applies only when some plan carries the
// field it filters on, so a catalogue without sizes or node types shows every plan.
function groupProducts(products, teamSize, ipType) {
    const list = RechargeLogic.asList(products)
    const groupNode = p => RechargeLogic.firstText(p, ["node_type_key", "node_type_id", "ip_type"])
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
        result.push({ value: region, text: RechargeLogic.textOf(p.region_name) || region })
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

const payloadSources = ["order_payload", "purchase_payload", "create_payload", "order_params", "create_params",
                        "request_payload", "create_request", "order_request", "request", "params", "selection",
                        "payload"]
const selectorKeys = ["product_id", "plan_id", "sku_id", "goods_id", "package_id", "product_code", "plan_code",
                      "sku_code", "package_code", "product_key", "plan_key", "sku_key", "package_key", "code", "key",
                      "slug", "id", "plan", "sku", "package", "product", "product_type", "purchase_type", "plan_type",
                      "package_type", "type", "duration", "duration_days", "days", "months", "period", "cycle", "tier",
                      "node_type_id", "node_type_key", "region_id", "region_key", "region", "ip_type"]
const productIdKeys = ["product_id", "plan_id", "sku_id", "goods_id", "package_id", "id"]

function copyMap(m) {
    const out = {}
    if (RechargeLogic.isMap(m)) {
        for (const key in m)
            out[key] = m[key]
    }
    return out
}

function payloadSource(product) {
    for (let i = 0; i < payloadSources.length; ++i) {
        const source = product[payloadSources[i]]
        if (!RechargeLogic.isSet(source))
            continue
        if (typeof source !== "string")
            return source
        try {
            return JSON.parse(source)
        } catch (e) {
            return null
        }
    }
    return null
}

// The order request for a product: its own request members, then its selector members; a code is
// never turned into a product id. Empty when the product names nothing to order.
function basePayload(product) {
    if (!RechargeLogic.isMap(product))
        return {}
    const payload = copyMap(payloadSource(product))
    for (let i = 0; i < selectorKeys.length; ++i) {
        const key = selectorKeys[i]
        if (RechargeLogic.isSet(product[key]) && !RechargeLogic.isSet(payload[key]))
            payload[key] = product[key]
    }
    if (!RechargeLogic.isSet(payload.product_id)) {
        for (let i = 0; i < productIdKeys.length; ++i) {
            if (RechargeLogic.isSet(product[productIdKeys[i]])) {
                payload.product_id = product[productIdKeys[i]]
                break
            }
        }
    }
    return payload
}

// The option of a list whose value is `value`, as the map it came from.
function optionMap(options, value) {
    const list = RechargeLogic.asList(options)
    for (let i = 0; i < list.length; ++i) {
        if (RechargeLogic.isMap(list[i]) && RechargeLogic.textOf(list[i].value) === value)
            return RechargeLogic.isMap(list[i].raw) ? list[i].raw : list[i]
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
        copyDefined(out, optionMap(s.ipOptions, ip), ["node_type_id", "node_type_key"])
    }
    if (region !== "") {
        out.region = region
        copyDefined(out, optionMap(s.regionOptions, region), ["region_id", "region_key"])
    }
    const products = RechargeLogic.asList(s.products)
    for (let i = 0; i < products.length; ++i) {
        if (nodeOf(products[i]) === ip && regionOf(products[i]) === region) {
            copyDefined(out, products[i], ["node_type_id", "node_type_key", "region_id", "region_key"])
            break
        }
    }
    return out
}

// sel: {ipType, teamSize, gameOption ({value, text, raw} or null), gameId}.
function withGroupSelection(payload, sel) {
    const out = copyMap(payload)
    const s = RechargeLogic.isMap(sel) ? sel : {}
    const ip = RechargeLogic.textOf(s.ipType)
    if (ip !== "")
        out.ip_type = ip
    const size = RechargeLogic.number(s.teamSize, 0)
    if (size > 0)
        out.member_count = size
    const option = RechargeLogic.isMap(s.gameOption) ? s.gameOption : null
    const game = option && RechargeLogic.isMap(option.raw) ? option.raw : (option || {})
    const gameId = RechargeLogic.textOf(s.gameId)
    const packageName = RechargeLogic.textOf(game.package_name)
    if (packageName !== "")
        out.package_name = packageName
    else if (gameId.indexOf(".") >= 0)
        out.package_name = gameId
    const id = RechargeLogic.firstDefined(game, ["game_id", "id"])
    if (id !== undefined)
        out.game_id = id
    else
        delete out.game_id
    const nodeTypeId = RechargeLogic.number(out.node_type_id, 0)
    if (nodeTypeId > 0)
        out.node_type_id = nodeTypeId
    return out
}
