import QtQuick
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// The purchase page's group-buying functions: the leader team lookup and its seat order, the group
// detail with its selection, refresh and team-code polling. The page hosts one, binds its panels and
// dialogs to its state and hands it the replies it shares with the payment flow.
QtObject {
    id: flow

    required property var api
    required property var dataStore
    property int guid: 0
    property bool loggedIn: false
    property var groupOrders: []
    property int paymentOrderId: 0

    property string leaderTeamCode: ""
    property string leaderGameId: ""
    property bool leaderOpened: false
    property bool groupDetailOpened: false
    property bool groupDetailLoading: false
    property int groupDetailOrderId: 0

    readonly property var leaderTeam: dataStore && dataStore.leaderTeamDetail ? dataStore.leaderTeamDetail : ({})
    readonly property var currentGroup: dataStore && dataStore.groupDetail ? dataStore.groupDetail : ({})
    readonly property var orders: dataStore ? RechargeLogic.asList(dataStore.orders) : []
    readonly property bool leaderTeamReady: GroupLogic.teamReady(leaderTeam, leaderTeamCode)
    readonly property bool pollingCode: GroupLogic.shouldPollCode({
        opened: groupDetailOpened, orderId: groupDetailOrderId, loading: groupDetailLoading,
        team: GroupLogic.detailTeam(currentGroup), group: currentGroup, order: selectedGroupOrder()
    })

    signal toastRequested(string message, bool warning)
    signal traceRequested(string message)
    signal loginRequested()
    // A seat order is about to be sent: the page takes over its payment state.
    signal seatOrderStarting(string productName, real amount, var payload)

    property Timer autoSelectTimer: Timer {
        property bool anyOrder: false

        interval: 0
        onTriggered: {
            if (!flow.groupDetailOpened || flow.groupDetailOrderId > 0)
                return
            const order = GroupLogic.firstOrder(flow.groupOrders, anyOrder ? flow.orders : [])
            if (order)
                flow.refreshGroupDetail(order)
        }
    }

    // A leader team's code is issued a little after the team: ask again until it is there.
    property Timer codeTimer: Timer {
        interval: 3000
        repeat: true
        running: flow.pollingCode
        onTriggered: {
            const order = flow.selectedGroupOrder()
            if (!flow.api.busy && RechargeLogic.orderId(order) > 0)
                flow.refreshGroupDetail(order)
        }
    }

    property Connections replies: Connections {
        target: flow.api
        ignoreUnknownSignals: true

        function onOrdersLoaded() {
            if (flow.groupDetailOpened && flow.groupDetailOrderId <= 0) {
                flow.autoSelectTimer.anyOrder = true
                flow.autoSelectTimer.restart()
            }
        }

        function onGroupDetailLoaded() {
            flow.groupDetailLoading = false
            flow.groupDetailOpened = true
            flow.toastRequested("拼团状态已刷新", false)
        }

        function onRequestFailed(operation) {
            if (operation === "group_detail")
                flow.groupDetailLoading = false
        }
    }

    onGroupOrdersChanged: {
        if (groupDetailOpened && groupDetailOrderId <= 0) {
            autoSelectTimer.anyOrder = false
            autoSelectTimer.restart()
        }
    }

    function signedIn() {
        return loggedIn && guid > 0
    }

    function queryLeaderTeam(code) {
        const normalized = GroupLogic.normalizedCode(code)
        if (!signedIn()) {
            loginRequested()
            toastRequested("请先登录后查询团长团", true)
            return
        }
        if (normalized === "") {
            toastRequested("请输入团码", true)
            return
        }
        leaderTeamCode = normalized
        leaderGameId = ""
        api.loadLeaderTeamDetail(guid, normalized, GroupLogic.ownTeamId(dataStore.leaderTeams, normalized))
    }

    // The seat price once the team in the code field has been looked up; 0 before.
    function leaderTeamPrice() {
        return leaderTeamReady ? GroupLogic.teamPrice(leaderTeam) : 0
    }

    function createLeaderSeatOrder() {
        // Only the team the panel shows: a lookup of another code may have failed and left an older
        // team in the store.
        const code = RechargeLogic.textOf(leaderTeam.team_code) || leaderTeamCode
        if (code === "" || !leaderTeamReady) {
            toastRequested("请输入团码并查询拼团", true)
            return
        }
        if (leaderGameId === "") {
            toastRequested("请选择要加速的游戏", true)
            return
        }
        const payload = GroupLogic.seatPayload(leaderTeam, code, leaderGameId)
        seatOrderStarting(RechargeLogic.firstText(leaderTeam, ["name", "title"]) || "团长团席位", leaderTeamPrice(),
                          payload)
        traceRequested("[Recharge] creating leader seat order; payload=" + JSON.stringify(payload))
        api.createLeaderJoinOrder(guid, payload)
    }

    // The payment's product name of a created seat order.
    function seatProductName(order) {
        return RechargeLogic.firstText(order, ["product_name", "plan_name"])
            || RechargeLogic.firstText(leaderTeam, ["name", "title"]) || "团长团席位"
    }

    function openLeaderCenter() {
        if (!signedIn()) {
            loginRequested()
            return
        }
        leaderOpened = true
    }

    function copyFromPanel(kind, value) {
        if (dataStore.copyToClipboard(value))
            toastRequested(kind === "code" ? "团码已复制" : "分享链接已复制", false)
    }

    function openMyGroups() {
        if (!signedIn()) {
            loginRequested()
            return
        }
        groupDetailOpened = true
        api.loadOrders(guid, 1, 20)
        if (groupOrders.length > 0)
            refreshGroupDetail(GroupLogic.findOrder(groupOrders, groupDetailOrderId) || groupOrders[0])
    }

    function selectedGroupOrder() {
        return GroupLogic.selectedOrder(groupOrders, orders, groupDetailOrderId)
    }

    function refreshGroupDetail(order) {
        let target = order
        if (RechargeLogic.orderId(order) <= 0 && groupDetailOrderId > 0)
            target = selectedGroupOrder()
        const id = RechargeLogic.orderId(target) || paymentOrderId || groupDetailOrderId
        groupDetailOrderId = id
        groupDetailOpened = true
        groupDetailLoading = true
        const query = GroupLogic.groupQuery(target, id)
        if (Object.keys(query).length === 0) {
            groupDetailLoading = false
            toastRequested("暂时无法确定要查询的拼团订单", true)
            return
        }
        api.loadGroupDetail(guid, query)
    }

    function refreshSelectedGroup() {
        refreshGroupDetail(selectedGroupOrder())
    }
}
