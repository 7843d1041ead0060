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
        const plan = { name: "月卡", description: "限时", unit: "/季", flag: "热卖", priceFen: 2600,
                       priceText: "26", pricesByIp: { home: 4950 }, priceTextsByIp: { home: "49.5" }, benefits: [{ title: "专线", detail: "" }] }
        compare(RechargeLogic.productName(plan, "shared"), "月卡")
        compare(RechargeLogic.productName(null, "group"), "拼团套餐")
        compare(RechargeLogic.productDescription(plan, "group"), "限时")
        compare(RechargeLogic.productDescription(null, "shared"), "")
        compare(RechargeLogic.productUnit(plan, "shared"), "/季")
        compare(RechargeLogic.productUnit(null, "shared"), "")
        compare(RechargeLogic.productFlag(plan), "热卖")
        compare(RechargeLogic.productPrice(plan, "home"), 4950)
        compare(RechargeLogic.productPrice(plan, "idc"), 2600)
        compare(RechargeLogic.productPrice(null, "home"), 0)
        compare(RechargeLogic.productPriceText(plan, "home"), "49.5")
        compare(RechargeLogic.productPriceText(plan, "idc"), "26")
        compare(RechargeLogic.productPriceText(null, "home"), "0")
        compare(RechargeLogic.productBenefits(plan, "shared"), plan.benefits)
        compare(RechargeLogic.productBenefits(null, "shared"), [])
        compare(RechargeLogic.listValue({ a: "text", b: [1, 2] }, ["a", "b"]), [1, 2])
        compare(RechargeLogic.listValue(null, ["a"]), [])
    }

    function test_orderDetailRows_data() {
        const at = (d, h, m) => new Date(2027, 0, d, h, m).getTime() / 1000
        const base = { order_id: 42, product_name: "季卡", price_text: "78", created_at: at(5, 9, 7) }
        const order = extra => Object.assign({}, base, extra)
        return [
            { tag: "pending, with its deadline",
              order: order({ order_no: "NB2027010500042", payment_status_text: "待支付", expire_at: at(5, 9, 22) }),
              rows: ["订单号 NB2027010500042", "套餐 季卡", "金额 ¥78", "下单时间 2027-01-05 09:07",
                     "支付截止 2027-01-05 09:22", "状态 待支付"] },
            { tag: "paid, with its payment time",
              order: order({ payment_status_text: "已支付", paid_at: at(6, 18, 30), expire_at: at(5, 9, 22) }),
              rows: ["订单号 42", "套餐 季卡", "金额 ¥78", "下单时间 2027-01-05 09:07", "支付时间 2027-01-06 18:30",
                     "状态 已支付"] },
            { tag: "closed, nameless", order: { order_id: 7, price_text: "0", payment_status_text: "已关闭" },
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
        compare(RechargeLogic.countdownText(600), "请在 10 分 0 秒内完成支付")
        compare(RechargeLogic.countdownText(61), "请在 1 分 1 秒内完成支付")
        compare(RechargeLogic.countdownText(0), "订单支付时间已结束")
    }
}
