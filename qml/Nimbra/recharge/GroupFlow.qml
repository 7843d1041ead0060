import QtQuick
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// The purchase page's group buying: the leader team lookup and its seat order, the group detail with
// its selection, refresh and team-code polling, and the two dialogs over the page. The group state
// lives on the page, which the panels bind to; this changes it.
Item {
    id: flow

    required property var page

    readonly property var api: page.api
    readonly property bool leaderTeamReady: GroupLogic.teamReady(page.leaderTeam, page.leaderTeamCode)
    readonly property bool pollingCode: GroupLogic.shouldPollCode({
        opened: page.groupDetailOpened, orderId: page.groupDetailOrderId, loading: page.groupDetailLoading,
        team: GroupLogic.detailTeam(page.currentGroup), group: page.currentGroup, order: selectedGroupOrder()
    })

    function signedIn() {
        return page.loggedIn && page.guid > 0
    }

    function queryLeaderTeam(code) {
        const normalized = GroupLogic.normalizedCode(code)
        if (!signedIn()) {
            page.loginRequested()
            page.toast("请先登录后查询团长团", true)
            return
        }
        if (normalized === "") {
            page.toast("请输入团码", true)
            return
        }
        page.leaderTeamCode = normalized
        page.leaderGameId = ""
        api.loadLeaderTeamDetail(page.guid, normalized, GroupLogic.ownTeamId(page.dataStore.leaderTeams, normalized))
    }

    // The seat price in fen once the team in the code field has been looked up; 0 before.
    function leaderTeamPrice() {
        return leaderTeamReady ? GroupLogic.teamPrice(page.leaderTeam) : 0
    }

    function leaderTeamPriceText() {
        return leaderTeamReady ? RechargeLogic.textOf(page.leaderTeam.price_text) : ""
    }

    function createLeaderSeatOrder() {
        const team = page.leaderTeam
        // Only the team the panel shows: a failed lookup of another code leaves the older team stored.
        const code = RechargeLogic.textOf(team.team_code) || page.leaderTeamCode
        if (code === "" || !leaderTeamReady) {
            page.toast("请输入团码并查询拼团", true)
            return
        }
        if (page.leaderGameId === "") {
            page.toast("请选择要加速的游戏", true)
            return
        }
        const payload = page.payment.createSeatOrder(team, code, page.leaderGameId,
                                                     RechargeLogic.textOf(RechargeLogic.member(team, "name")) || "团长团席位",
                                                     page.selectedPrice())
        page.trace("[Recharge] creating leader seat order; payload=" + JSON.stringify(payload))
    }

    function openLeaderCenter() {
        if (signedIn())
            page.leaderOpened = true
        else
            page.loginRequested()
    }

    function copyFromPanel(kind, value) {
        if (page.dataStore.copyToClipboard(value))
            page.toast(kind === "code" ? "团码已复制" : "分享链接已复制", false)
    }

    function openMyGroups() {
        if (!signedIn()) {
            page.loginRequested()
            return
        }
        page.groupDetailOpened = true
        api.loadOrders(page.guid, 1, 20)
        const known = page.groupOrders
        if (known.length > 0)
            refreshGroupDetail(GroupLogic.findOrder(known, page.groupDetailOrderId) || known[0])
    }

    // The session the group state belongs to has ended: its dialogs close and their polling stops.
    function endSession() {
        autoSelectTimer.stop()
        page.leaderOpened = false
        page.groupDetailOpened = false
        page.groupDetailLoading = false
        page.groupDetailOrderId = 0
        page.leaderTeamCode = ""
        page.leaderGameId = ""
    }

    function selectedGroupOrder() {
        return GroupLogic.selectedOrder(page.groupOrders, page.orders, page.groupDetailOrderId)
    }

    function refreshGroupDetail(order) {
        let target = order
        if (RechargeLogic.orderId(order) <= 0 && page.groupDetailOrderId > 0)
            target = selectedGroupOrder()
        const id = RechargeLogic.orderId(target) || page.payment.orderId || page.groupDetailOrderId
        page.groupDetailOrderId = id
        page.groupDetailOpened = true
        page.groupDetailLoading = true
        if (!api.loadGroupDetailFor(target, id)) {
            page.groupDetailLoading = false
            page.toast("暂时无法确定要查询的拼团订单", true)
        }
    }

    // The group detail picks an order by itself while none is selected, on the next turn.
    function autoSelect(anyOrder) {
        if (page.groupDetailOpened && page.groupDetailOrderId <= 0) {
            autoSelectTimer.anyOrder = anyOrder
            autoSelectTimer.restart()
        }
    }

    Timer {
        id: autoSelectTimer

        property bool anyOrder: false

        interval: 0
        onTriggered: {
            if (!flow.page.groupDetailOpened || flow.page.groupDetailOrderId > 0)
                return
            const order = GroupLogic.firstOrder(flow.page.groupOrders, anyOrder ? flow.page.orders : [])
            if (order)
                flow.refreshGroupDetail(order)
        }
    }

    // A leader team's code is issued a little after the team: ask again until it is there.
    Timer {
        id: codeTimer

        objectName: "codeTimer"
        interval: 3000
        repeat: true
        running: flow.pollingCode
        onTriggered: {
            const order = flow.selectedGroupOrder()
            if (!flow.api.busy && RechargeLogic.orderId(order) > 0)
                flow.refreshGroupDetail(order)
        }
    }

    Connections {
        target: flow.page
        ignoreUnknownSignals: true

        function onGroupOrdersChanged() {
            flow.autoSelect(false)
        }
    }

    Connections {
        target: flow.api
        ignoreUnknownSignals: true

        function onOrdersLoaded() {
            flow.autoSelect(true)
        }

        // The seat's payment takes over from the leader centre.
        function onOrderCreated(kind) {
            if (kind === "leader_join")
                flow.page.leaderOpened = false
        }

        // Only the page's own requests: the client also looks up the first paid group order after
        // every order list, and that must not pop the detail up over the page.
        function onGroupDetailLoaded() {
            if (!flow.page.groupDetailLoading)
                return
            flow.page.groupDetailLoading = false
            flow.page.groupDetailOpened = true
            flow.page.toast("拼团状态已刷新", false)
        }
    }

    LeaderCenterDialog {
        objectName: "leaderCenter"
        opened: flow.page.leaderOpened
        lightMode: flow.page.lightMode
        api: flow.api
        dataStore: flow.page.dataStore
        guid: flow.page.guid
        games: flow.page.games
        onCloseRequested: flow.page.leaderOpened = false
        onToastRequested: (message, warning) => flow.page.toast(message, warning)
    }

    GroupDetailDialog {
        objectName: "groupDetail"
        opened: flow.page.groupDetailOpened
        lightMode: flow.page.lightMode
        loading: flow.page.groupDetailLoading
        group: flow.page.currentGroup
        orders: flow.page.groupOrders
        selectedOrderId: flow.page.groupDetailOrderId
        onCloseRequested: flow.page.groupDetailOpened = false
        onOrderRequested: order => flow.refreshGroupDetail(order)
        onRefreshRequested: flow.refreshGroupDetail(flow.selectedGroupOrder())
    }
}
