import QtQuick
import "RechargeLogic.js" as RechargeLogic

// The payment of a created order: the WeChat payment and its amount checks, the countdown on the
// service's clock, the status poll and the outcomes. The payment state lives on the page, which the
// dialog binds to; this only changes it.
Item {
    id: flow

    required property var page

    readonly property var api: page.api
    // The countdown runs on the service's time as last reported, carried forward by a clock that never
    // jumps: a wall clock set ahead must not expire a code the service still accepts. The wall clock
    // only stands in for a service that gave no time.
    property var clock: ({
        monotonic: () => flow.api.monotonicSeconds(),
        wall: () => Date.now() / 1000
    })

    function nowSeconds() {
        return clock.monotonic()
    }

    // The service's clock minus the monotonic one.
    function serviceOffset(serverTime) {
        const server = RechargeLogic.number(serverTime, 0)
        return RechargeLogic.serverOffset(server > 0 ? server : clock.wall(), nowSeconds())
    }

    // The session that asked for the payment has ended: nothing of it stays open or polls.
    function endSession() {
        const p = page
        p.paymentOpened = false
        p.orderCreating = false
        p.paymentOrderId = 0
        p.paymentCodeUrl = ""
        p.paymentProductName = "会员订单"
        p.paymentAmount = 0
        p.expectedPaymentAmount = 0
        p.paymentRemainingSeconds = 0
        p.paymentExpireAt = 0
        p.paymentServerOffset = 0
        p.paymentStatusText = "等待扫码"
    }

    function orderCreated(kind, order, serverTime) {
        const p = page
        p.orderCreating = true
        if (kind === "leader_join") {
            const team = p.leaderTeam || {}
            p.leaderOpened = false
            p.paymentProductName = String(order.product_name || team.name || team.title
                                          || "团长团席位")
        }
        const id = RechargeLogic.orderId(order)
        if (id <= 0) {
            p.orderCreating = false
            p.toast("订单创建成功，但未返回订单号", true)
            return
        }
        p.paymentOrderId = id
        p.paymentExpireAt = order.expire_at
        p.paymentServerOffset = serviceOffset(serverTime)
        const created = order.order_price
        if (kind === "leader_join" || p.expectedPaymentAmount <= 0)
            p.expectedPaymentAmount = created
        if (created > 0)
            p.paymentAmount = created
        if (RechargeLogic.amountMismatch(p.expectedPaymentAmount, created)) {
            p.orderCreating = false
            p.paymentOpened = false
            p.toast(RechargeLogic.mismatchMessage(p.expectedPaymentAmount, created), true)
            return
        }
        p.paymentStatusText = "正在获取微信二维码"
        api.createPcPayment(p.guid, id)
    }

    // "继续支付" of a pending order from the purchase history.
    function continueOrder(order) {
        const p = page
        p.orderCreating = true
        p.paymentOrderId = RechargeLogic.orderId(order)
        p.paymentProductName = order.product_name || "会员订单"
        p.paymentAmount = order.order_price
        p.expectedPaymentAmount = p.paymentAmount
        p.paymentExpireAt = order.expire_at
        api.createPcPayment(p.guid, p.paymentOrderId)
    }

    function paymentReady(payment, codeUrl, serverTime) {
        const p = page
        p.orderCreating = false
        if (payment.order_id > 0)
            p.paymentOrderId = payment.order_id
        p.paymentCodeUrl = codeUrl ? String(codeUrl) : ""
        // A payment without an expiry or a price keeps the order's.
        if (payment.expire_at > 0)
            p.paymentExpireAt = payment.expire_at
        p.paymentServerOffset = serviceOffset(serverTime)
        const resolved = payment.order_price > 0 ? payment.order_price : p.paymentAmount
        if (RechargeLogic.amountMismatch(p.expectedPaymentAmount, resolved)) {
            p.paymentOpened = false
            p.toast("微信支付金额与所选套餐不一致，已停止支付", true)
            return
        }
        p.paymentAmount = resolved
        p.paymentStatusText = "等待微信扫码"
        p.paymentOpened = true
        updateCountdown(nowSeconds())
        p.toast("请使用微信扫码支付")
    }

    function updateCountdown(now) {
        const p = page
        if (!p.paymentOpened)
            return
        // Without an expiry time nothing counts down, and nothing is polled automatically.
        p.paymentRemainingSeconds = RechargeLogic.remainingSeconds(p.paymentExpireAt, p.paymentServerOffset, now)
        if (p.paymentExpireAt <= 0 || p.paymentRemainingSeconds > 0)
            return
        p.paymentOpened = false
        p.paymentStatusText = "订单已过期"
        p.toast("订单已过期，请重新下单", true)
    }

    // One second of the open dialog; now is the monotonic clock in seconds.
    function tick(now) {
        const p = page
        updateCountdown(now)
        if (RechargeLogic.shouldQueryStatus(p.paymentOpened, p.paymentOrderId, p.paymentRemainingSeconds, api.busy))
            api.queryPayStatus(p.guid, p.paymentOrderId)
    }

    function statusUpdated(data, serverTime) {
        const p = page
        const order = data.order
        if (order.expire_at > 0)
            p.paymentExpireAt = order.expire_at
        if (serverTime)
            p.paymentServerOffset = serviceOffset(serverTime)
        updateCountdown(nowSeconds())
        const status = order.payment_status
        p.paymentStatusText = RechargeLogic.paymentStatusText(status)
        if (status === "paid") {
            p.paymentOpened = false
            if (order.is_group) {
                p.refreshGroupDetail(order)
                p.toast("支付成功，正在刷新拼团状态")
            } else {
                p.toast("支付成功，会员权益已更新")
            }
        } else if (["closed", "expired", "refunded", "exception"].indexOf(status) >= 0) {
            p.paymentOpened = false
            p.toast(RechargeLogic.paymentStatusText(status), true)
        }
    }

    // The payment's share of the failures; true when nothing more is to be done.
    function handleFailure(operation, message) {
        const p = page
        if (operation === "pay_status") {
            // A poll refused for this computer's clock says so: the next one is signed on the service's time.
            p.paymentStatusText = String(message).startsWith("电脑时间不准确") ? "电脑时间不准确，已按服务器时间校正，稍后继续查询"
                                                                              : "网络波动，稍后继续查询"
            return true
        }
        const text = String(message)
        if (operation === "pc_pay" && p.paymentOrderId > 0
                && ["订单已处理", "已经支付", "订单已支付"].some(part => text.indexOf(part) >= 0)) {
            p.orderCreating = false
            p.paymentStatusText = "正在确认订单状态"
            api.queryPayStatus(p.guid, p.paymentOrderId)
            return true
        }
        // A failed seat order ends the creating state too, or the pay button would stay locked.
        if (operation.indexOf("create_") === 0 || operation.indexOf("pc_pay") === 0
                || operation === "leader_join_order")
            p.orderCreating = false
        return false
    }

    Connections {
        target: flow.api

        function onOrderCreated(kind, order, serverTime) {
            flow.orderCreated(kind, order, serverTime)
        }
        function onPcPaymentReady(payment, codeUrl, serverTime) {
            flow.paymentReady(payment, codeUrl, serverTime)
        }
        function onPayStatusUpdated(status, serverTime) {
            flow.statusUpdated(status, serverTime)
        }
        function onOrderCancelled() {
            flow.page.paymentOpened = false
            flow.page.toast("订单已取消")
        }
    }

    Timer {
        objectName: "paymentTimer"
        interval: 1000
        repeat: true
        running: flow.page.paymentOpened
        onTriggered: flow.tick(flow.nowSeconds())
    }
}
