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

    // Plans arrive prepared (tst_purchasepreparation covers the service's names): read as they are.
    function test_planTexts() {
        const plan = { name: "月卡", description: "限时", unit: "/季", flag: "热卖", price: 26,
                       pricesByIp: { home: 49 }, benefits: [{ title: "专线", detail: "" }] }
        compare(RechargeLogic.productName(plan, "shared"), "月卡")
        compare(RechargeLogic.productName(null, "group"), "拼团套餐")
        compare(RechargeLogic.productDescription(plan, "group"), "限时")
        compare(RechargeLogic.productDescription(null, "shared"), "")
        compare(RechargeLogic.productUnit(plan, "shared"), "/季")
        compare(RechargeLogic.productUnit(null, "shared"), "")
        compare(RechargeLogic.productFlag(plan), "热卖")
        compare(RechargeLogic.productPrice(plan, "home"), 49)
        compare(RechargeLogic.productPrice(plan, "idc"), 26)
        compare(RechargeLogic.productPrice(null, "home"), 0)
        compare(RechargeLogic.productBenefits(plan, "shared"), plan.benefits)
        compare(RechargeLogic.productBenefits(null, "shared"), [])
        compare(RechargeLogic.listValue({ a: "text", b: [1, 2] }, ["a", "b"]), [1, 2])
        compare(RechargeLogic.listValue(null, ["a"]), [])
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
            { tag: "completed order", s: "completed", expected: "已支付" },
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

    function test_orderDetailRows_data() {
        const at = (d, h, m) => new Date(2027, 0, d, h, m).getTime() / 1000
        const base = { order_id: 42, product_name: "季卡", order_price: 78, created_at: at(5, 9, 7) }
        const order = extra => Object.assign({}, base, extra)
        return [
            { tag: "pending, with its deadline",
              order: order({ order_no: "NB2027010500042", payment_status: "pending", expire_at: at(5, 9, 22) }),
              rows: ["订单号 NB2027010500042", "套餐 季卡", "金额 ¥78", "下单时间 2027-01-05 09:07",
                     "支付截止 2027-01-05 09:22", "状态 待支付"] },
            { tag: "paid, with its payment time",
              order: order({ payment_status: "paid", paid_at: at(6, 18, 30), expire_at: at(5, 9, 22) }),
              rows: ["订单号 42", "套餐 季卡", "金额 ¥78", "下单时间 2027-01-05 09:07", "支付时间 2027-01-06 18:30",
                     "状态 已支付"] },
            { tag: "closed, nameless", order: { order_id: 7, payment_status: "closed" },
              rows: ["订单号 7", "套餐 会员订单", "金额 ¥0", "下单时间 —", "状态 已关闭"] },
            { tag: "no order", order: null, rows: [] }
        ]
    }

    function test_orderDetailRows(data) {
        compare(RechargeLogic.orderDetailRows(data.order).map(r => r.label + " " + r.value), data.rows)
    }

    function test_orders() {
        compare(RechargeLogic.orderId(null), 0)
        compare(RechargeLogic.orderId({}), 0)
        const orders = [{ order_id: 1, is_group: false }, { order_id: 2, is_group: true }, null, { order_id: 3 }]
        compare(RechargeLogic.groupOrders(orders).map(o => o.order_id), [2])
        compare(RechargeLogic.groupOrders(undefined), [])
    }

    function test_basePayload() {
        const plan = { payload: { product_id: 3 } }
        const payload = Purchase.basePayload(plan)
        compare(payload, { product_id: 3 })
        payload.region = "sh"
        // A copy: the selections must not write into the prepared plan.
        compare(plan.payload, { product_id: 3 })
        compare(Purchase.basePayload(null), {})
    }

    function test_privateSelection() {
        const products = [
            { nodeType: "home", region: "sh", ids: { node_type_key: "home", region_key: "sh", region_id: 1, node_type_id: 11 } },
            { nodeType: "idc", region: "sh", ids: { node_type_key: "idc", region_key: "sh", region_id: 2, node_type_id: 12 } }
        ]
        const sel = {
            ipType: "idc", region: "sh", products: products,
            ipOptions: [{ value: "idc", text: "机房", ids: { node_type_id: 99, node_type_key: "idc" } }],
            regionOptions: [{ value: "sh", text: "上海", ids: { region_id: 1, region_key: "sh" } }]
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
        const game = { value: "com.a.b", text: "甲", packageName: "com.a.b", gameId: 77 }
        return [
            { tag: "chosen game", sel: { ipType: "home", teamSize: 5, gameOption: game, gameId: "com.a.b" },
              payload: { product_id: 1, node_type_id: "3", game_id: 1 },
              expected: { product_id: 1, node_type_id: 3, game_id: 77, ip_type: "home", member_count: 5,
                          package_name: "com.a.b" } },
            { tag: "game id only", sel: { teamSize: 0, gameOption: { value: "9", packageName: "", gameId: 9 }, gameId: "9" },
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
        const plans = [{ id: 1, memberCount: 5, ipType: "home" }, { id: 2, memberCount: 10, ipType: "home" },
                       { id: 3, memberCount: 5, ipType: "7" }, { id: 4, memberCount: 5, ipType: "home" }]
        return [
            { tag: "five, home", products: plans, size: 5, ip: "home", expected: [1, 4] },
            { tag: "ten, any node", products: plans, size: 10, ip: "", expected: [2] },
            { tag: "no size", products: plans, size: 0, ip: "7", expected: [3] },
            { tag: "size without plans", products: plans, size: 7, ip: "home", expected: [] },
            { tag: "plans without sizes or nodes", products: [{ id: 1, memberCount: 0, ipType: "" }, { id: 2 }], size: 5,
              ip: "home",
              expected: [1, 2] },
            { tag: "no list", products: null, size: 5, ip: "", expected: [] }
        ]
    }

    function test_groupProducts(data) {
        compare(Purchase.groupProducts(data.products, data.size, data.ip).map(p => p.id), data.expected)
    }

    function test_privateRegionSync() {
        const products = [
            { nodeType: "home", region: "sh", regionName: "上海" },
            { nodeType: "home", region: "4", regionName: "广州" },
            { nodeType: "2", region: "sh", regionName: "" },
            { nodeType: "idc", region: "sh", regionName: "上海" },
            { nodeType: "idc", region: "hk", regionName: "" }
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

    function test_catalogueGameOptions() {
        const games = [{ id: "12", name: "甲", package_name: "com.a" }, { id: "7", name: "", package_name: "" },
                       { id: "", name: "无标识", package_name: "" }, "乙", null]
        compare(Purchase.catalogueGameOptions(games), [
            { value: "com.a", text: "甲", packageName: "com.a", gameId: "12" },
            { value: "7", text: "7", packageName: "", gameId: "7" }
        ])
        compare(Purchase.catalogueGameOptions(undefined), [])
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
