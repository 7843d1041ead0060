pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "RechargeLogic.js" as RechargeLogic
import "PurchaseLogic.js" as Purchase

// The membership page: the membership summary, the three purchase modes with their plans and options,
// the order checks and the purchase history. The order and its payment are the purchase client's
// PaymentOrder, which outlives the page; the lists the page shows come prepared from the state store.
ThemedScope {
    id: view

    property RechargeApi api: null
    property var dataStore: null
    property int guid: 0
    property bool loggedIn: false
    property var games: []
    // The QR image maker handed to the payment dialog.
    property QrCodeGenerator qrGenerator: null

    // The shell's menus read the theme flag under this name.
    readonly property bool dawn: lightMode
    readonly property alias groupFlow: groups

    readonly property var entry: dataStore ? dataStore.purchaseEntry : ({})
    readonly property var membership: dataStore ? dataStore.membership : ({})
    readonly property var orders: dataStore ? dataStore.orders : []
    readonly property var orderDetail: dataStore ? dataStore.orderDetail : ({})
    readonly property var currentGroup: dataStore ? dataStore.groupDetail : ({})
    readonly property var leaderTeam: dataStore ? dataStore.leaderTeamDetail : ({})
    readonly property var preparedByMode: dataStore ? dataStore.preparedPurchaseData : ({})
    readonly property bool loading: api ? api.busy : false

    property string purchaseMode: "shared"
    property string groupMethod: "normal"
    property int selectedPlanIndex: 0
    property string selectedIpType: ""
    property string selectedRegion: ""
    property int selectedTeamSize: 0
    property string selectedGameId: ""
    property bool agreed: false
    property string errorMessage: ""
    property bool ordersOpened: false

    // Group buying and team leaders.
    property string leaderTeamCode: ""
    property string leaderGameId: ""
    property bool leaderOpened: false
    property bool groupDetailOpened: false
    property bool groupDetailLoading: false
    property int groupDetailOrderId: 0

    readonly property PaymentOrder payment: api ? api.payment : null
    readonly property bool orderCreating: payment ? payment.creating : false

    property var preparedProducts: []
    property var preparedIpOptions: []
    property var preparedRegionOptions: []
    property var preparedTeamOptions: []
    property var preparedGameOptions: []
    readonly property alias ipOptions: view.preparedIpOptions
    readonly property alias regionOptions: view.preparedRegionOptions
    readonly property alias teamOptions: view.preparedTeamOptions
    readonly property alias gameOptions: view.preparedGameOptions

    readonly property var groupOrders: RechargeLogic.groupOrders(orders)
    readonly property var currentProducts: purchaseMode === "group"
        ? Purchase.groupProducts(preparedProducts, selectedTeamSize, selectedIpType) : preparedProducts
    readonly property var currentProduct: selectedPlanIndex >= 0 && selectedPlanIndex < currentProducts.length
        ? currentProducts[selectedPlanIndex] : null
    readonly property var availablePrivateRegionOptions: purchaseMode === "private"
        ? Purchase.privateRegionOptions(currentProducts, selectedIpType, regionOptions) : regionOptions
    readonly property var gameSelectorOptions: gameOptions.length > 0 ? gameOptions : normalizedGames(games)
    readonly property bool leaderMethod: purchaseMode === "group" && groupMethod === "leader"
    // What the pay bar shows: the choice and its total ("—" without a price).
    readonly property string selectionCaption: {
        if (leaderMethod)
            return leaderTeamPrice() > 0 ? "已选团长团席位" : "请先查询拼团"
        if (!currentProduct)
            return "请选择套餐"
        const flag = RechargeLogic.productFlag(currentProduct)
        return flag !== "" ? flag : "已选 " + RechargeLogic.productName(currentProduct, purchaseMode)
    }
    readonly property string totalText: {
        if (leaderMethod)
            return leaderTeamPrice() > 0 ? "¥" + selectedPriceText() : "—"
        return currentProduct ? "¥" + selectedPriceText() : "—"
    }

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

    function normalizedGames(list) {
        return Purchase.catalogueGameOptions(list)
    }

    // Prepared data.
    function requestDataPreparation() {
        if (!visible)
            return
        const prepared = preparedByMode ? preparedByMode[purchaseMode] : undefined
        if (prepared) {
            applyPrepared(prepared)
            return
        }
        preparedProducts = []
        preparedIpOptions = []
        preparedRegionOptions = []
        preparedTeamOptions = []
        preparedGameOptions = []
    }

    function applyPrepared(prepared) {
        preparedProducts = RechargeLogic.asList(prepared.products)
        preparedIpOptions = RechargeLogic.asList(prepared.ipOptions)
        preparedRegionOptions = RechargeLogic.asList(prepared.regionOptions)
        preparedTeamOptions = RechargeLogic.asList(prepared.teamOptions)
        preparedGameOptions = RechargeLogic.asList(prepared.gameOptions)
        if (selectedPlanIndex >= preparedProducts.length)
            selectedPlanIndex = 0
        Qt.callLater(syncDefaultSelections)
    }

    function refreshGameOptions() {
        if (preparedGameOptions.length > 0)
            return true
        const options = normalizedGames(games)
        if (options.length === 0)
            return false
        preparedGameOptions = options
        if (!options.some(option => String(option.value) === selectedGameId))
            selectedGameId = ""
        return true
    }

    function syncDefaultSelections() {
        if (selectedIpType === "" && ipOptions.length > 0)
            selectedIpType = String(ipOptions[0].value)
        syncPrivateRegionSelection()
        if (selectedRegion === "" && regionOptions.length > 0)
            selectedRegion = String(regionOptions[0].value)
        if (selectedTeamSize <= 0 && teamOptions.length > 0)
            selectedTeamSize = RechargeLogic.number(teamOptions[0].value, 0)
        selectPrivateProductForOptions()
    }

    function syncPrivateRegionSelection() {
        if (purchaseMode !== "private")
            return
        const options = availablePrivateRegionOptions
        if (options.length > 0 && !options.some(option => String(option.value) === selectedRegion))
            selectedRegion = String(options[0].value)
    }

    function selectPrivateProductForOptions() {
        if (purchaseMode !== "private" || selectedIpType === "" || selectedRegion === "")
            return
        const index = Purchase.privateProductIndex(preparedProducts, selectedIpType, selectedRegion)
        if (index >= 0)
            selectedPlanIndex = index
    }

    // Selection handlers.
    function selectMode(mode) {
        purchaseMode = mode
        selectedPlanIndex = 0
        Qt.callLater(syncDefaultSelections)
    }

    function selectPrivateIpType(value) {
        selectedIpType = String(value)
        syncPrivateRegionSelection()
        selectPrivateProductForOptions()
    }

    function selectPrivateRegion(value) {
        selectedRegion = String(value)
        selectPrivateProductForOptions()
    }

    function selectGroupIpType(value) {
        const type = String(value)
        if (type === selectedIpType)
            return
        selectedIpType = type
        selectedPlanIndex = 0
        Qt.callLater(() => view.trace("[Recharge] 拼团 IP 类型切换=" + type + " 可用套餐=" + view.currentProducts.length))
    }

    function selectTeamSize(size) {
        const count = RechargeLogic.number(size, 0)
        if (count === selectedTeamSize)
            return
        selectedTeamSize = count
        selectedPlanIndex = 0
        trace("[Recharge] 拼团人数切换=" + count + " 可用套餐=" + currentProducts.length)
    }

    function selectGame(value) {
        selectedGameId = value === undefined || value === null ? "" : String(value)
    }

    function selectPlan(index) {
        const product = currentProducts[index]
        if (!product || product.available === false)
            return
        selectedPlanIndex = index
        if (purchaseMode !== "private")
            return
        selectedIpType = String(product.nodeType)
        selectedRegion = String(product.region)
    }

    function renewOrSignIn() {
        if (loggedIn)
            selectMode("shared")
        else
            loginRequested()
    }

    function openOrders() {
        if (loggedIn)
            ordersOpened = true
        else
            loginRequested()
    }

    // The price chosen, in fen, and as shown.
    function selectedPrice() {
        if (leaderMethod) {
            const teamPrice = leaderTeamPrice()
            if (teamPrice > 0)
                return teamPrice
        }
        return RechargeLogic.productPrice(currentProduct, selectedIpType)
    }

    function selectedPriceText() {
        if (leaderMethod && leaderTeamPrice() > 0)
            return groups.leaderTeamPriceText()
        return RechargeLogic.productPriceText(currentProduct, selectedIpType)
    }

    // The choices an order of the current mode is made with (PaymentOrder.createPlanOrder).
    function orderSelection() {
        const game = gameSelectorOptions.find(option => String(option.value) === selectedGameId)
        return { ipType: selectedIpType, ipOptions: ipOptions, region: selectedRegion, regionOptions: regionOptions,
                 products: currentProducts, teamSize: selectedTeamSize, gameOption: game || null,
                 gameId: selectedGameId }
    }

    function startPayment() {
        const agreementText = "请先阅读并同意《服务协议》与《购买须知》"
        if (!loggedIn || guid <= 0) {
            loginRequested()
            toast("请先登录后再购买", true)
            return
        }
        if (leaderMethod) {
            if (!agreed)
                toast(agreementText, true)
            else if (!orderCreating)
                createLeaderSeatOrder()
            return
        }
        const product = currentProduct
        if (!product) {
            toast("当前购买方式暂无可用商品", true)
            return
        }
        if (product.available === false) {
            toast(product.unavailableText, true)
            return
        }
        if (purchaseMode === "private" && selectedRegion === "") {
            toast("请选择加速区服", true)
            return
        }
        if (purchaseMode === "group" && selectedGameId === "") {
            toast("请选择要加速的游戏", true)
            return
        }
        if (!agreed) {
            toast(agreementText, true)
            return
        }
        if (orderCreating)
            return
        const payload = payment.createPlanOrder(purchaseMode, product, orderSelection(),
                                                RechargeLogic.productName(product, purchaseMode), selectedPrice())
        if (Object.keys(payload).length === 0) {
            toast("该套餐缺少下单标识，已停止创建订单，请联系服务端检查购买入口数据", true)
            return
        }
        trace("[Recharge] creating " + purchaseMode + " order; product keys=" + Object.keys(product.raw || product).join(","))
        trace("[Recharge] order payload=" + JSON.stringify(payload))
    }

    function continuePayment(order) {
        payment.resume(order)
    }

    // Group buying and team leaders: GroupFlow runs them.
    function leaderTeamPrice() {
        return groups.leaderTeamPrice()
    }

    function createLeaderSeatOrder() {
        groups.createLeaderSeatOrder()
    }

    function refreshGroupDetail(order) {
        groups.refreshGroupDetail(order)
    }

    function openMyGroups() {
        groups.openMyGroups()
    }

    function openLeaderCenter() {
        groups.openLeaderCenter()
    }

    // Failures the payment flow does not take are the page's: a toast, and the text of an empty plan list.
    function handleFailure(operation, message) {
        if (operation === "public_purchase_entry" || payment.takesFailure(operation, message))
            return
        if (operation === "group_detail")
            groupDetailLoading = false
        errorMessage = message
        toast(message, true)
    }

    // A sign-out or another account: nothing of the old session stays open or polls (the client ends
    // the payment and drops the answers to the old session's requests).
    function endSession() {
        ordersOpened = false
        groups.endSession()
    }

    onGuidChanged: endSession()
    onLoggedInChanged: {
        if (!loggedIn)
            endSession()
    }
    onEntryChanged: {
        selectedPlanIndex = 0
        requestDataPreparation()
    }
    onPreparedByModeChanged: requestDataPreparation()
    onVisibleChanged: requestDataPreparation()
    onPurchaseModeChanged: requestDataPreparation()
    onGamesChanged: {
        if (visible && !refreshGameOptions())
            requestDataPreparation()
    }
    Component.onCompleted: requestDataPreparation()

    Connections {
        target: view.api

        function onRequestFailed(operation, message) {
            view.handleFailure(operation, message)
        }
    }

    Connections {
        target: view.payment

        function onNotice(message, warning) {
            view.toast(message, warning)
        }
        function onGroupOrderPaid(order) {
            view.refreshGroupDetail(order)
        }
    }

    RechargeContent {
        anchors.fill: parent
        page: view
    }

    PurchaseHistory {
        anchors.fill: parent
        theme: view
        api: view.api
        orders: view.orders
        creating: view.orderCreating
        visible: view.ordersOpened
        onCloseRequested: view.ordersOpened = false
        onContinueRequested: order => view.continuePayment(order)
        onGroupDetailRequested: order => view.refreshGroupDetail(order)
    }

    GroupFlow {
        id: groups

        objectName: "groupFlow"
        anchors.fill: parent
        page: view
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
