import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/recharge/RechargeLogic.js" as RechargeLogic
import "qrc:/qt/qml/Nimbra/recharge/PurchaseLogic.js" as Purchase

TestCase {
    name: "RechargeLogic"

    function localDate(seconds) {
        const d = new Date(seconds * 1000)
        return d.getFullYear() + "-" + (d.getMonth() < 9 ? "0" : "") + (d.getMonth() + 1) + "-"
            + (d.getDate() < 10 ? "0" : "") + d.getDate()
    }

    function test_typeText() {
        compare(RechargeLogic.membershipTypeText({ vip_num: 3, vip_type: "SHARED" }), "共享会员")
        compare(RechargeLogic.membershipTypeText({ is_vip: true, vip_type: " Private! " }), "独享会员")
        compare(RechargeLogic.membershipTypeText({ active: true, plan_type: "拼 团" }), "拼团会员")
        compare(RechargeLogic.membershipTypeText({ status: "enabled", type: "Monthly" }), "月卡会员")
        compare(RechargeLogic.membershipTypeText({ vipNum: 1, plan_name: "季卡" }), "季卡会员")
        compare(RechargeLogic.membershipTypeText({ is_vip: true, product_name: "Annual" }), "年卡会员")
        compare(RechargeLogic.membershipTypeText({ is_vip: true, member_type: "永久" }), "终身会员")
        // The first truthy key wins; unknown names come back stripped and lower-cased.
        compare(RechargeLogic.membershipTypeText({ is_vip: true, vip_type: "", member_type: "Gold-Plus 2" }), "goldplus2")
        compare(RechargeLogic.membershipTypeText({ is_vip: true }), "尊享会员")
        compare(RechargeLogic.membershipTypeText({ is_vip: true, vip_type: "★" }), "尊享会员")
        // Not a member: no type at all.
        compare(RechargeLogic.membershipTypeText({ vip_num: 0, is_vip: false, vip_type: "shared" }), "")
        compare(RechargeLogic.membershipTypeText({ vip_num: "0", status: "expired", vip_type: "shared" }), "")
        compare(RechargeLogic.membershipTypeText(null), "")
        compare(RechargeLogic.membershipTypeText(undefined), "")
    }

    function test_expiryText() {
        const expiry = 1798675200 // 2027-01-01 00:00 UTC
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, vip_expire_at: expiry }), localDate(expiry) + " 到期")
        compare(RechargeLogic.membershipExpiryText({ vip_num: 2, expire_at: expiry, remaining_days: 0 }),
                localDate(expiry) + " 到期 · 剩余 0 天")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, end_time: expiry, left_days: 5 }),
                localDate(expiry) + " 到期 · 剩余 5 天")
        // remaining_days wins over left_days whenever it is present.
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, valid_until: expiry, remaining_days: 3, left_days: 9 }),
                localDate(expiry) + " 到期 · 剩余 3 天")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, vip_expire_at: 0, expired_at: expiry }),
                localDate(expiry) + " 到期")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, expire_time: String(expiry) }), localDate(expiry) + " 到期")

        compare(RechargeLogic.membershipExpiryText({ is_vip: true, lifetime: true }), "永久有效")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, status: "permanent" }), "永久有效")
        compare(RechargeLogic.membershipExpiryText({ vip_num: 1, status: "lifetime", vip_expire_at: -5 }), "永久有效")
        compare(RechargeLogic.membershipExpiryText({ active: true, status: "active", is_permanent: true }), "永久有效")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, permanent: "yes" }), "到期时间未知")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true }), "到期时间未知")
        compare(RechargeLogic.membershipExpiryText({ is_vip: true, vip_expire_at: "soon" }), "到期时间未知")

        compare(RechargeLogic.membershipExpiryText({ is_vip: false, vip_expire_at: expiry }), "未开通")
        compare(RechargeLogic.membershipExpiryText({}), "未开通")
        compare(RechargeLogic.membershipExpiryText(null), "未开通")
    }

    function test_money_data() {
        return [
            { tag: "whole", value: 12, expected: "12" },
            { tag: "one decimal", value: 12.5, expected: "12.5" },
            { tag: "two decimals", value: 12.05, expected: "12.05" },
            { tag: "below a cent", value: 12.004, expected: "12" },
            { tag: "text", value: "30.10", expected: "30.1" },
            { tag: "not a number", value: "abc", expected: "0" },
            { tag: "missing", value: undefined, expected: "0" }
        ]
    }

    function test_money(data) {
        compare(RechargeLogic.money(data.value), data.expected)
    }

    function test_formatDate() {
        const day = 1798675200
        compare(RechargeLogic.formatDate(day), localDate(day))
        compare(RechargeLogic.formatDate(String(day)), localDate(day))
        for (const value of [0, -1, "soon", null, undefined])
            compare(RechargeLogic.formatDate(value), "未开通")
    }

    function test_membershipHeadline_data() {
        const expiry = 1798675200
        return [
            { tag: "signed out", m: { is_vip: true }, loggedIn: false, title: "尊享会员 · 生效中",
              description: "登录后可同步订单与加速配置" },
            { tag: "not a member", m: { vip_num: 0 }, loggedIn: true, title: "尊享双链路加速 IP",
              description: "选择适合你的购买方式，微信扫码即可开通" },
            { tag: "no membership", m: null, loggedIn: true, title: "尊享双链路加速 IP",
              description: "选择适合你的购买方式，微信扫码即可开通" },
            { tag: "permanent", m: { status: "lifetime" }, loggedIn: true, title: "尊享双链路加速 IP",
              description: "选择适合你的购买方式，微信扫码即可开通" },
            { tag: "lifetime member", m: { vipNum: 1, lifetime: true }, loggedIn: true, title: "尊享会员 · 生效中",
              description: "永久有效" },
            { tag: "unknown expiry", m: { active: true, expire_at: "soon" }, loggedIn: true, title: "尊享会员 · 生效中",
              description: "会员已开通 · 到期时间未知" },
            { tag: "expiry and days", m: { status: "enabled", vip_expire_at: expiry, remaining_days: 0, left_days: 4 },
              loggedIn: true, title: "尊享会员 · 生效中", description: localDate(expiry) + " 到期 · 剩余 0 天" },
            { tag: "left days", m: { is_vip: true, expire_at: expiry, left_days: 4 }, loggedIn: true,
              title: "尊享会员 · 生效中", description: localDate(expiry) + " 到期 · 剩余 4 天" }
        ]
    }

    function test_membershipHeadline(data) {
        compare(RechargeLogic.membershipTitle(data.m), data.title)
        compare(RechargeLogic.membershipDescription(data.m, data.loggedIn), data.description)
    }

    function test_productTexts() {
        compare(RechargeLogic.productName({ name: " ", title: "月卡" }, "shared"), "月卡")
        compare(RechargeLogic.productName({}, "private"), "独享 IP 套餐")
        compare(RechargeLogic.productName(null, "group"), "拼团套餐")
        compare(RechargeLogic.productDescription({ remark: "限时" }, "group"), "限时")
        compare(RechargeLogic.productDescription({}, "group"), "5-10 人成团 · 更低价")
        compare(RechargeLogic.productDescription(null, "shared"), "")
        compare(RechargeLogic.productUnit({ days: 365 }, "shared"), "/年")
        compare(RechargeLogic.productUnit({ days: 30, price_unit: "/季" }, "shared"), "/季")
        compare(RechargeLogic.productUnit({ days: 299 }, "shared"), "/月")
        compare(RechargeLogic.productFlag({ tag: "热卖", promotion: "" }), "热卖")
        compare(RechargeLogic.listValue({ a: "text", b: [1, 2] }, ["a", "b"]), [1, 2])
        compare(RechargeLogic.listValue(null, ["a"]), [])
    }

    function test_productPrice_data() {
        const all = { price_by_ip: { home: 49 }, prices: { home: 48, idc: 38 }, amount: { order_price: 30 },
                      price_info: { order_price: 29, price: 28 }, user_price: 27, price: 26 }
        return [
            { tag: "by IP type", p: all, ip: "home", expected: 49 },
            { tag: "prices by IP type", p: all, ip: "idc", expected: 38 },
            { tag: "order amount", p: all, ip: "isp", expected: 30 },
            { tag: "price info", p: { price_info: { order_price: 29, price: 28 }, price: 26 }, ip: "", expected: 29 },
            { tag: "price info price", p: { price_info: { price: 28 }, price: 26 }, ip: "", expected: 28 },
            { tag: "user price first", p: { price: 26, user_price: "19.9" }, ip: "", expected: 19.9 },
            { tag: "plain amount", p: { amount: 15 }, ip: "", expected: 15 },
            { tag: "not numeric", p: { price: "free" }, ip: "", expected: 0 },
            { tag: "no product", p: null, ip: "home", expected: 0 }
        ]
    }

    function test_productPrice(data) {
        compare(RechargeLogic.productPrice(data.p, data.ip), data.expected)
    }

    function rows(list) {
        return list.map(r => r.detail === "" ? r.title : r.title + "/" + r.detail)
    }

    function test_productBenefits_data() {
        return [
            { tag: "recursive sources, capped at six", mode: "shared",
              p: { benefits: [{ title: "双链路", desc: "主备切换" }, "专线；防丢包", { items: ["多端"] }],
                   features: "低延迟 | 高带宽\n不限速" },
              expected: ["双链路/主备切换", "专线", "防丢包", "多端", "低延迟", "高带宽"] },
            { tag: "de-duplicated", mode: "shared",
              p: { rights: [" 专线 ", { text: "专线" }, { note: "专线" }], highlights: { 流量: "100G", 设备: 3 } },
              expected: ["专线", "流量/100G", "设备/3", "节点类型/共享节点"] },
            { tag: "private defaults", mode: "private", p: {},
              expected: ["节点类型/独享节点", "地址分配/一人一址"] },
            { tag: "fixed rows", mode: "group",
              p: { period_text: "30 天", days: 30, max_devices: 2, limit_count: 1, is_auto_renew: false },
              expected: ["有效期/30 天", "有效期/30天", "设备数量/2台", "购买限制/每人限购1次", "续费方式/到期不自动续费",
                         "节点类型/独享节点"] },
            { tag: "group size", mode: "group", p: { team_size: "5", node_text: "" },
              expected: ["节点类型/独享节点", "成团方式/多人拼团", "成团人数/5人"] },
            { tag: "no product", mode: "private", p: null, expected: [] }
        ]
    }

    function test_productBenefits(data) {
        compare(rows(RechargeLogic.productBenefits(data.p, data.mode)), data.expected)
    }

    function test_paymentStatusText_data() {
        return [
            { tag: "paid", s: "paid", expected: "已支付" },
            // The states the service sends: pending, paid, closed, expired, refunded.
            { tag: "pending", s: "pending", expected: "待支付" },
            { tag: "pending_payment", s: "pending_payment", expected: "待支付" },
            { tag: "unpaid", s: "unpaid", expected: "待支付" },
            { tag: "closed", s: "closed", expected: "已关闭" },
            { tag: "cancelled", s: "cancelled", expected: "已关闭" },
            { tag: "canceled", s: "canceled", expected: "已关闭" },
            { tag: "expired", s: "expired", expected: "已过期" },
            { tag: "refunded", s: "refunded", expected: "已退款" },
            { tag: "failed", s: "failed", expected: "支付失败" },
            { tag: "exception", s: "exception", expected: "支付异常" },
            { tag: "capitals", s: " PAID ", expected: "已支付" },
            { tag: "unknown", s: "processing", expected: "处理中" },
            { tag: "inherited name", s: "constructor", expected: "处理中" },
            { tag: "worded by the service", s: "退款中", expected: "退款中" },
            { tag: "empty", s: "", expected: "未知状态" },
            { tag: "missing", s: undefined, expected: "未知状态" }
        ]
    }

    function test_paymentStatusText(data) {
        compare(RechargeLogic.paymentStatusText(data.s), data.expected)
    }

    function test_orders() {
        compare(RechargeLogic.orderId(null), 0)
        compare(RechargeLogic.orderId({}), 0)
        const orders = [{ order_id: 1, is_group: false }, { order_id: 2, is_group: true }, null, { order_id: 3 }]
        compare(RechargeLogic.groupOrders(orders).map(o => o.order_id), [2])
        compare(RechargeLogic.groupOrders(undefined), [])
    }

    function test_basePayload_data() {
        return [
            { tag: "code only", p: { product_code: "m1", name: "月卡" }, expected: { product_code: "m1" } },
            { tag: "plan id", p: { plan_id: 3 }, expected: { plan_id: 3, product_id: 3 } },
            { tag: "JSON string source", p: { create_payload: '{"sku":"x","days":30}', days: 90, id: 5 },
              expected: { sku: "x", days: 30, id: 5, product_id: 5 } },
            { tag: "unparsable source", p: { create_payload: "{sku", plan_code: "p", region: "" },
              expected: { plan_code: "p" } },
            { tag: "source keeps its product id", p: { order_payload: { product_id: 8 }, product_id: 2, type: "vip" },
              expected: { product_id: 8, type: "vip" } },
            { tag: "nothing to order", p: { name: "月卡", price: 30 }, expected: {} },
            { tag: "no product", p: null, expected: {} }
        ]
    }

    function test_basePayload(data) {
        compare(Purchase.basePayload(data.p), data.expected)
    }

    function test_privateSelection() {
        const products = [
            { node_type_key: "home", region_key: "sh", region_id: 1, node_type_id: 11 },
            { node_type_key: "idc", region_key: "sh", region_id: 2, node_type_id: 12 }
        ]
        const sel = {
            ipType: "idc", region: "sh", products: products,
            ipOptions: [{ value: "idc", text: "机房", raw: { value: "idc", node_type_id: 99, node_type_key: "idc" } }],
            regionOptions: [{ value: "sh", region_id: 1, region_key: "sh", label: "上海" }]
        }
        const base = { product_id: 3, region_id: 0 }
        // The plan under the chosen node type decides the region id, not the first region option.
        compare(Purchase.withPrivateSelection(base, sel),
                { product_id: 3, ip_type: "idc", region: "sh", node_type_id: 12, node_type_key: "idc", region_id: 2,
                  region_key: "sh" })
        compare(base, { product_id: 3, region_id: 0 })
        sel.products = []
        compare(Purchase.withPrivateSelection(base, sel),
                { product_id: 3, ip_type: "idc", region: "sh", node_type_id: 99, node_type_key: "idc", region_id: 1,
                  region_key: "sh" })
        compare(Purchase.withPrivateSelection({ product_id: 3 }, null), { product_id: 3 })
    }

    function test_groupSelection_data() {
        const game = { value: "com.a.b", text: "甲", raw: { package_name: "com.a.b", game_id: 77, id: 5 } }
        return [
            { tag: "chosen game", sel: { ipType: "home", teamSize: 5, gameOption: game, gameId: "com.a.b" },
              payload: { product_id: 1, node_type_id: "3", game_id: 1 },
              expected: { product_id: 1, node_type_id: 3, game_id: 77, ip_type: "home", member_count: 5,
                          package_name: "com.a.b" } },
            { tag: "game id only", sel: { teamSize: 0, gameOption: { value: "9", raw: { id: 9 } }, gameId: "9" },
              payload: { product_id: 1, node_type_id: "home" },
              expected: { product_id: 1, node_type_id: "home", game_id: 9 } },
            { tag: "package name as id", sel: { gameOption: null, gameId: "com.x.y" }, payload: { game_id: 4 },
              expected: { package_name: "com.x.y" } }
        ]
    }

    function test_groupSelection(data) {
        compare(Purchase.withGroupSelection(data.payload, data.sel), data.expected)
    }

    function test_groupProducts_data() {
        const plans = [{ id: 1, member_count: 5, node_type_key: "home" }, { id: 2, member_count: 10, node_type_key: "home" },
                       { id: 3, team_size: "5", node_type_id: 7 }, { id: 4, people_count: 5, ip_type: "home" }]
        return [
            { tag: "five, home", products: plans, size: 5, ip: "home", expected: [1, 4] },
            { tag: "ten, any node", products: plans, size: 10, ip: "", expected: [2] },
            { tag: "no size", products: plans, size: 0, ip: "7", expected: [3] },
            { tag: "size without plans", products: plans, size: 7, ip: "home", expected: [] },
            { tag: "plans without sizes or nodes", products: [{ id: 1 }, { id: 2 }], size: 5, ip: "home",
              expected: [1, 2] },
            { tag: "no list", products: null, size: 5, ip: "", expected: [] }
        ]
    }

    function test_groupProducts(data) {
        compare(Purchase.groupProducts(data.products, data.size, data.ip).map(p => p.id), data.expected)
    }

    function test_privateRegionSync() {
        const products = [
            { node_type_key: "home", region_key: "sh", region_name: "上海" },
            { node_type_key: "home", region_id: 4, region_name: "广州" },
            { node_type_id: 2, region_key: "sh" },
            { node_type_key: "idc", region_key: "sh", region_name: "上海" },
            { node_type_key: "idc", region_key: "hk" }
        ]
        compare(Purchase.privateRegionOptions(products, "home", []), [{ value: "sh", text: "上海" }, { value: "4", text: "广州" }])
        compare(Purchase.privateRegionOptions(products, "", []).map(o => o.value), ["sh", "4", "hk"])
        const fallback = [{ value: "x", text: "X" }]
        compare(Purchase.privateRegionOptions(products, "none", fallback), fallback)
        // Region "4" is not served by "idc": the region moves to idc's first one and its plan is chosen.
        const regions = Purchase.privateRegionOptions(products, "idc", [])
        compare(regions.map(o => o.value), ["sh", "hk"])
        compare(Purchase.privateProductIndex(products, "idc", regions[0].value), 3)
        compare(Purchase.privateProductIndex(products, "2", "sh"), 2)
        compare(Purchase.privateProductIndex(products, "idc", "4"), -1)
        compare(Purchase.privateProductIndex(products, "", "sh"), -1)
    }

    function test_normalizedOptions() {
        const games = [{ package_name: "com.a", name: "甲" }, { id: 7 }, { name: "无标识" }, "乙", "", null]
        const options = Purchase.normalizedOptions(games, ["package_name", "game_id", "id"], ["name", "title"])
        compare(options.map(o => o.value + ":" + o.text), ["com.a:甲", "7:7", "乙:乙"])
        compare(options[0].raw, games[0])
        compare(Purchase.normalizedOptions(undefined, ["id"], ["name"]), [])
    }

    function test_countdown() {
        const server = 1700000000
        // The local clock runs 30 s fast; the countdown follows the service's clock.
        const offset = RechargeLogic.serverOffset(server, server + 30)
        compare(offset, -30)
        compare(RechargeLogic.remainingSeconds(server + 600, offset, server + 30), 600)
        compare(RechargeLogic.remainingSeconds(server + 600, offset, server + 31.5), 598)
        compare(RechargeLogic.remainingSeconds(server + 600, offset, server + 700), 0)
        compare(RechargeLogic.remainingSeconds(0, offset, server), 0)
        compare(RechargeLogic.serverOffset(0, server), 0)
        compare(RechargeLogic.countdownText(600), "请在 10 分 0 秒内完成支付")
        compare(RechargeLogic.countdownText(61), "请在 1 分 1 秒内完成支付")
        compare(RechargeLogic.countdownText(0), "订单支付时间已结束")
    }

    function test_amountMismatch_data() {
        return [
            { tag: "within half a cent", expected: 30, actual: 30.004, mismatch: false },
            { tag: "half a cent", expected: 30, actual: 30.005, mismatch: false },
            { tag: "a cent", expected: 30, actual: 30.01, mismatch: true },
            { tag: "cheaper", expected: 30, actual: 29, mismatch: true },
            { tag: "nothing chosen", expected: 0, actual: 30, mismatch: false },
            { tag: "no amount created", expected: 30, actual: undefined, mismatch: false }
        ]
    }

    function test_amountMismatch(data) {
        compare(RechargeLogic.amountMismatch(data.expected, data.actual), data.mismatch)
    }

    function test_mismatchMessage() {
        compare(RechargeLogic.mismatchMessage(30, 30.01),
                "订单金额不一致：所选 ¥30，服务器创建 ¥30.01。已停止支付，请在订单历史中取消该订单")
    }

    function test_shouldQueryStatus_data() {
        return [
            { tag: "third second", opened: true, id: 5, remaining: 597, busy: false, expected: true },
            { tag: "between", opened: true, id: 5, remaining: 596, busy: false, expected: false },
            { tag: "busy", opened: true, id: 5, remaining: 597, busy: true, expected: false },
            { tag: "closed", opened: false, id: 5, remaining: 597, busy: false, expected: false },
            { tag: "no order", opened: true, id: 0, remaining: 597, busy: false, expected: false },
            { tag: "no time left", opened: true, id: 5, remaining: 0, busy: false, expected: false }
        ]
    }

    function test_shouldQueryStatus(data) {
        compare(RechargeLogic.shouldQueryStatus(data.opened, data.id, data.remaining, data.busy), data.expected)
    }
}
