import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/recharge/RechargeLogic.js" as RechargeLogic

TestCase {
    name: "RechargeLogic"

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
        compare(RechargeLogic.productPriceText(plan, "home"), "49.5")
        compare(RechargeLogic.productPriceText(plan, "idc"), "26")
        compare(RechargeLogic.productPriceText(null, "home"), "0")
        compare(RechargeLogic.productBenefits(plan, "shared"), plan.benefits)
        compare(RechargeLogic.productBenefits(null, "shared"), [])
    }

    // Lines break between the name's parts only; past two lines the rest joins the last.
    function test_nameLines_data() {
        const name = "宽带 · 国际服 · 5人拼团"
        return [
            { tag: "fits", name: name, width: 20, lines: name },
            { tag: "two lines", name: name, width: 9, lines: "宽带 · 国际服\n5人拼团" },
            { tag: "narrower than the parts", name: name, width: 4, lines: "宽带\n国际服 · 5人拼团" },
            { tag: "one part", name: "季卡", width: 1, lines: "季卡" }
        ]
    }

    function test_nameLines(data) {
        compare(RechargeLogic.nameLines(data.name, data.width, line => line.length, 2), data.lines)
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
        // The list and the detail name an order by the same number.
        compare(RechargeLogic.orderNumber({ order_id: 42, order_no: "NB42" }), "NB42")
        compare(RechargeLogic.orderNumber({ order_id: 42 }), "42")
    }

    function test_countdown() {
        compare(RechargeLogic.countdownText(600), "请在 10 分 0 秒内完成支付")
        compare(RechargeLogic.countdownText(61), "请在 1 分 1 秒内完成支付")
        compare(RechargeLogic.countdownText(0), "订单支付时间已结束")
    }
}
