import QtQuick
import "WindowLogic.js" as WindowLogic

// Navigation of the main window: the tab, the menus, the dialogs and where pop-ups go. It holds which
// of them is open; what the user chose on the way and the lines for the log are reported as signals.
QtObject {
    id: navigation

    required property bool loggedIn
    // The chosen game's routes as far as opening the route selector needs them.
    required property bool routesKnown
    required property bool routesLoading
    // The scene the pop-ups are placed in and the status bar's top edge in it.
    required property Item scene
    required property real statusBarTop

    property string tab: "home"
    property int tabIndex: 0
    property bool nodeDialog: false
    property bool loginDialog: false
    property bool logDialog: false
    property bool accountMenu: false
    property bool serverMenu: false
    property bool modeMenu: false
    property string accountMenuSource: "title-account"
    property Item accountMenuAnchor: null
    readonly property bool modalOpen: nodeDialog || logDialog || loginDialog

    readonly property var modeRows: [
        { title: "智能匹配", detail: "推荐" },
        { title: "稳定优先", detail: "抗丢包环境" },
        { title: "极速电竞", detail: "低延迟优先" }
    ]

    // A line for the run log; `forwardToConsole` false keeps timing lines off the console.
    signal logLine(string text, bool forwardToConsole)
    signal toastRequested(string text)
    signal routesWanted(string reason)
    signal measurementWanted(string reason)
    signal serverChosen(string name)
    signal modeChosen(string name)

    onAccountMenuChanged: navigation.logLine("[PERF] 用户中心 visible=" + accountMenu, false)

    function perfLater(started, text) {
        const report = navigation.logLine
        Qt.callLater(() => report(text(Date.now() - started), false))
    }

    function closeMenus() {
        navigation.accountMenu = false
        navigation.serverMenu = false
        navigation.modeMenu = false
    }

    function selectTab(name, index) {
        const started = Date.now()
        navigation.tab = name
        navigation.tabIndex = index
        closeMenus()
        perfLater(started, ms => "[PERF] 页面切换 tab=" + name + " next-event=" + ms + "ms")
    }

    function openMembership() {
        if (!navigation.loggedIn) {
            navigation.logLine("[UI] 未登录，点击会员入口，打开登录窗口", true)
            openLogin()
        } else {
            selectTab("vip", 2)
        }
    }

    function openLogin() {
        navigation.accountMenu = false
        navigation.logDialog = false
        navigation.loginDialog = true
    }

    function toggleAccountMenu(anchorItem, source) {
        const started = Date.now()
        navigation.logLine("[UI] 用户中心点击 source=" + source + " loggedIn=" + navigation.loggedIn + " before="
                           + navigation.accountMenu, true)
        if (!navigation.loggedIn) {
            navigation.logLine("[UI] 未登录，打开登录窗口", true)
            openLogin()
            return
        }
        const from = source || "title-account"
        if (!WindowLogic.toggledAccountMenu(navigation.accountMenu, navigation.accountMenuSource,
                                            navigation.accountMenuAnchor, from, anchorItem)) {
            navigation.accountMenu = false
        } else {
            navigation.accountMenuSource = from
            navigation.accountMenuAnchor = anchorItem
            navigation.serverMenu = false
            navigation.modeMenu = false
            navigation.accountMenu = true
        }
        const state = navigation.accountMenu
        navigation.logLine("[UI] 用户中心状态 accountMenu=" + state, true)
        perfLater(started, ms => "[PERF] 用户中心 click-to-next-event=" + ms + "ms visible=" + state)
    }

    function popupY(anchorItem, popupHeight) {
        if (!anchorItem)
            return 8
        const top = anchorItem.mapToItem(navigation.scene, 0, 0).y
        return WindowLogic.popupY(top, anchorItem.height, popupHeight, navigation.statusBarTop)
    }

    function popupX(anchorItem) {
        return anchorItem ? anchorItem.mapToItem(navigation.scene, 0, 0).x : 8
    }

    function toggleServerMenu() {
        const open = !navigation.serverMenu
        closeMenus()
        navigation.serverMenu = open
    }

    function toggleModeMenu() {
        const open = !navigation.modeMenu
        closeMenus()
        navigation.modeMenu = open
    }

    // A region is the game's, not a node: there is nothing measured to show beside it.
    function regionRows(servers) {
        return servers.map(server => ({ title: server, detail: "" }))
    }

    function chooseServer(name) {
        navigation.serverChosen(name)
        serverMenu = false
        navigation.toastRequested("已切换区服：" + name)
    }

    function chooseMode(name) {
        navigation.modeChosen(name)
        modeMenu = false
        navigation.toastRequested("加速模式：" + name)
    }

    // The route selector: signed in with no routes yet (and none on their way), ask for them too.
    function openRouteDialog() {
        closeMenus()
        navigation.nodeDialog = true
        if (loggedIn && !routesKnown && !routesLoading)
            navigation.routesWanted("line-selector")
        else if (loggedIn && !routesLoading)
            navigation.measurementWanted("node-dialog")
    }

    function openLogDialog() {
        navigation.accountMenu = false
        navigation.logDialog = true
    }

    // Esc: the topmost open dialog or menu closes. The sign-in dialog keeps its fields, as with a
    // click on the mask.
    function closeTopmost() {
        if (navigation.logDialog)
            navigation.logDialog = false
        else if (navigation.nodeDialog)
            navigation.nodeDialog = false
        else if (navigation.loginDialog)
            navigation.loginDialog = false
        else
            closeMenus()
    }
}
