.pragma library

// Display helpers of the membership screens: pure functions over the loosely named maps
// that the purchase service reports. None of them throws, whatever arrives.

// --- Reading loose values -------------------------------------------------------------------------

function isMap(value) {
    return value !== null && typeof value === "object" && !Array.isArray(value)
}

function asList(value) {
    if (Array.isArray(value))
        return value
    // Lists handed over from C++ may arrive as array-like sequences.
    if (isMap(value) && typeof value.length === "number")
        return Array.prototype.slice.call(value)
    return []
}

// The trimmed text of a string or a finite number; anything else has none.
function textOf(value) {
    if (typeof value === "string")
        return value.trim()
    if (typeof value === "number" && isFinite(value))
        return String(value)
    return ""
}

// A member of m's own, whatever its name: a key like "hasOwnProperty" is service data too.
function hasOwn(m, key) {
    return Object.prototype.hasOwnProperty.call(m, key)
}

// m[key] when m is a map.
function member(m, key) {
    return isMap(m) ? m[key] : undefined
}

function number(value, fallback) {
    const n = Number(value)
    if (isFinite(n))
        return n
    const f = Number(fallback || 0)
    // A non-numeric fallback would otherwise leak NaN into amounts.
    return isFinite(f) ? f : 0
}

function twoDigits(n) {
    return n < 10 ? "0" + n : String(n)
}

function localDate(unixSeconds) {
    const date = new Date(unixSeconds * 1000)
    return date.getFullYear() + "-" + twoDigits(date.getMonth() + 1) + "-" + twoDigits(date.getDate())
}

// Date and minute of a time in Unix seconds, local; "—" when there is none.
function formatDateTime(unixSeconds) {
    const seconds = number(unixSeconds, 0)
    if (seconds <= 0)
        return "—"
    const date = new Date(seconds * 1000)
    return localDate(seconds) + " " + twoDigits(date.getHours()) + ":" + twoDigits(date.getMinutes())
}

// --- Products -------------------------------------------------------------------------------------

// A plan arrives prepared (state/purchaseplan): its texts, prices and benefits are read as they are.
function productName(p, mode) {
    const name = isMap(p) ? textOf(p.name) : ""
    if (name !== "")
        return name
    return mode === "private" ? "独享 IP 套餐" : (mode === "group" ? "拼团套餐" : "共享套餐")
}

// A plan name laid into at most maxLines lines that break only between its " · " parts, never inside a
// word ("国际服", "5人"): each line takes parts while widthOf(line) stays within width; what is left past
// the last line joins it (the view shrinks that line to fit).
function nameLines(name, width, widthOf, maxLines) {
    const parts = textOf(name).split(" · ")
    const lines = []
    for (const part of parts) {
        const joined = lines.length > 0 ? lines[lines.length - 1] + " · " + part : ""
        if (lines.length > 0 && widthOf(joined) <= width)
            lines[lines.length - 1] = joined
        else
            lines.push(part)
    }
    if (lines.length > maxLines)
        lines.splice(maxLines - 1, lines.length, lines.slice(maxLines - 1).join(" · "))
    return lines.join("\n")
}

function productDescription(p, mode) {
    return isMap(p) ? textOf(p.description) : ""
}

// A plan's price as shown for an IP type (its own price when the type has none).
function productPriceText(p, ipType) {
    if (!isMap(p))
        return "0"
    const ip = textOf(ipType)
    const texts = p.priceTextsByIp
    return textOf(isMap(texts) && hasOwn(texts, ip) ? texts[ip] : p.priceText) || "0"
}

function productUnit(p, mode) {
    return isMap(p) ? textOf(p.unit) : ""
}

function productFlag(p) {
    return isMap(p) ? textOf(p.flag) : ""
}

function productBenefits(p, mode) {
    return isMap(p) ? asList(p.benefits) : []
}

// --- Orders ---------------------------------------------------------------------------------------

const reportedStatuses = {}

// What a team or member state the screens have no wording for reads as. A service code never reaches
// the screen: it shows a neutral text and goes to the log (once per value); a text already written for
// people (Chinese) is shown as it is.
function unnamedStatusText(raw) {
    if (/[\u4e00-\u9fa5]/.test(raw))
        return raw
    if (!hasOwn(reportedStatuses, raw)) {
        reportedStatuses[raw] = true
        console.info("[Recharge] 未识别的状态 " + raw)
    }
    return "处理中"
}

// The id of an order as RechargeApi hands it over; 0 for none (or no order).
function orderId(o) {
    return isMap(o) ? number(o.order_id, 0) : 0
}

// The number an order is shown by, in its row and its detail alike: the service's order number, else
// its id.
function orderNumber(order) {
    return isMap(order) ? textOf(order.order_no) || String(orderId(order)) : ""
}

function isGroupOrder(order) {
    return isMap(order) && order.is_group === true
}

// The rows of an order's detail panel, as {label, value}: what was bought, for how much, when, and
// where it stands. A pending order shows its payment deadline, a paid one its payment time.
function orderDetailRows(order) {
    if (!isMap(order))
        return []
    const rows = [
        { label: "订单号", value: orderNumber(order) },
        { label: "套餐", value: textOf(order.product_name) || "会员订单" },
        { label: "金额", value: "¥" + textOf(order.price_text) },
        { label: "下单时间", value: formatDateTime(order.created_at) },
        { label: "状态", value: textOf(order.payment_status_text) }
    ]
    if (number(order.paid_at, 0) > 0)
        rows.splice(4, 0, { label: "支付时间", value: formatDateTime(order.paid_at) })
    else if (order.payment_status_text === "待支付" && number(order.expire_at, 0) > 0)
        rows.splice(4, 0, { label: "支付截止", value: formatDateTime(order.expire_at) })
    return rows
}

// --- Payment ---------------------------------------------------------------------------------------

function countdownText(remaining) {
    const left = Math.floor(number(remaining, 0))
    if (left <= 0)
        return "订单支付时间已结束"
    return "请在 " + Math.floor(left / 60) + " 分 " + (left % 60) + " 秒内完成支付"
}
