pragma ComponentBehavior: Bound

import QtQuick
import Nimbra

// The membership page: the membership summary, the three purchase modes with their plans and options,
// the order checks and the purchase history. The choice (PurchaseSelection), the group buying
// (GroupPurchase) and the order with its payment (PaymentOrder) belong to the purchase client and
// outlive the page; a page that opens starts them afresh. The records come from the state store.
ThemedScope {
    id: view

    property RechargeApi api: null
    property GlobalData dataStore: null
    property int guid: 0
    property bool loggedIn: false
    property var games: []
    // The QR image maker handed to the payment dialog.
    property QrCodeGenerator qrGenerator: null

    // The shell's menus read the theme flag under this name.
    readonly property bool dawn: lightMode

    readonly property PurchaseSelection selection: api ? api.selection : null
    readonly property GroupPurchase groups: api ? api.groups : null
    readonly property PaymentOrder payment: api ? api.payment : null
    readonly property var membership: dataStore ? dataStore.membership : ({})
    readonly property var orders: dataStore ? dataStore.orders : []
    readonly property bool loading: api ? api.busy : false
    readonly property bool orderCreating: payment ? payment.creating : false
    property bool ordersOpened: false

    signal toastRequested(string message, bool warning)
    signal loginRequested()
    signal traceRequested(string message)

    function toast(message, warning) {
        toastRequested(message, warning === true)
    }

    function trace(message) {
        console.info(message)
        traceRequested(message)
    }

    function openOrders() {
        if (loggedIn)
            ordersOpened = true
        else
            loginRequested()
    }

    // A sign-out or another account: the history closes (the client ends the payment and the groups).
    onGuidChanged: ordersOpened = false
    onLoggedInChanged: {
        if (!loggedIn)
            ordersOpened = false
    }
    Component.onCompleted: {
        selection.reset()
        groups.end()
    }

    Binding {
        target: view.selection
        property: "prepared"
        value: view.dataStore ? view.dataStore.preparedPurchaseData : ({})
    }
    Binding {
        target: view.selection
        property: "catalogueGames"
        value: view.games
    }
    Binding {
        target: view.groups
        property: "leaderTeam"
        value: view.dataStore ? view.dataStore.leaderTeamDetail : ({})
    }
    Binding {
        target: view.groups
        property: "leaderTeams"
        value: view.dataStore ? view.dataStore.leaderTeams : []
    }
    Binding {
        target: view.groups
        property: "group"
        value: view.dataStore ? view.dataStore.groupDetail : ({})
    }
    Binding {
        target: view.groups
        property: "orders"
        value: view.orders
    }

    Binding {
        target: view.groups.centre
        property: "entry"
        value: view.dataStore ? view.dataStore.leaderEntry : ({})
    }
    Binding {
        target: view.groups.centre
        property: "teams"
        value: view.dataStore ? view.dataStore.leaderTeams : []
    }
    Binding {
        target: view.groups.centre
        property: "team"
        value: view.dataStore ? view.dataStore.leaderTeamDetail : ({})
    }

    Connections {
        target: view.dataStore

        // New plans: the first is chosen.
        function onPurchaseEntryChanged() {
            view.selection.resetPlan()
        }
    }

    Connections {
        target: view.selection

        function onNotice(message, warning) {
            view.toast(message, warning)
        }
        function onSignInRequested() {
            view.loginRequested()
        }
        function onTrace(message) {
            view.trace(message)
        }
    }

    Connections {
        target: view.groups

        function onNotice(message, warning) {
            view.toast(message, warning)
        }
        function onSignInRequested() {
            view.loginRequested()
        }
        function onTrace(message) {
            view.trace(message)
        }
    }

    Connections {
        target: view.payment

        function onNotice(message, warning) {
            view.toast(message, warning)
        }
    }

    RechargeContent {
        anchors.fill: parent
        theme: view
        selection: view.selection
        groups: view.groups
        loggedIn: view.loggedIn
        loading: view.loading
        creating: view.orderCreating
        heroTitle: view.api ? view.api.membershipTitle(view.membership) : ""
        heroDescription: view.api ? view.api.membershipDescription(view.membership, view.loggedIn) : ""
        onOrdersRequested: view.openOrders()
        onLoginRequested: view.loginRequested()
        onToastRequested: (message, warning) => view.toast(message, warning)
        onCopyRequested: (kind, value) => {
            if (view.dataStore.copyToClipboard(value))
                view.toast(kind === "code" ? "团码已复制" : "分享链接已复制", false)
        }
    }

    PurchaseHistory {
        anchors.fill: parent
        theme: view
        api: view.api
        orders: view.orders
        creating: view.orderCreating
        visible: view.ordersOpened
        onCloseRequested: view.ordersOpened = false
        onContinueRequested: order => view.payment.resume(order)
        onGroupDetailRequested: order => view.groups.refreshGroupDetail(order)
    }

    GroupFlow {
        objectName: "groupFlow"
        anchors.fill: parent
        groups: view.groups
        dataStore: view.dataStore
        busy: view.loading
        lightMode: view.lightMode
        onToastRequested: (message, warning) => view.toast(message, warning)
    }

    RechargePaymentDialog {
        objectName: "paymentDialog"
        qrGenerator: view.qrGenerator
        opened: view.payment.opened
        lightMode: view.lightMode
        ink: view.ink
        ink2: view.ink2
        ink3: view.ink3
        ink4: view.ink4
        primary: view.primary
        accent: view.accent
        edge: view.edge
        codeUrl: view.payment.codeUrl
        productName: view.payment.productName
        amountText: view.payment.amountText
        orderId: view.payment.orderId
        remainingSeconds: view.payment.remainingSeconds
        statusText: view.payment.statusText
        canCancel: view.payment.canCancel
        onCloseRequested: view.payment.close()
        onCancelRequested: view.payment.cancel()
        onRefreshRequested: view.payment.refresh()
    }
}
