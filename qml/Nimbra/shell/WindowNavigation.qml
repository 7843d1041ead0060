import QtQuick
import "WindowLogic.js" as WindowLogic

// Navigation of the main window: tabs, the menus, the dialogs and where pop-ups go. It works on the
// window's presentation properties.
QtObject {
    id: navigation

    required property var controller
    // The scene the pop-ups are placed in and the status bar's top edge in it.
    required property Item scene
    required property real statusBarTop

    readonly property var modeRows: [
        { title: "智能匹配", detail: "推荐" },
        { title: "稳定优先", detail: "抗丢包环境" },
        { title: "极速电竞", detail: "低延迟优先" }
    ]

    function perfLater(started, text) {
        const c = navigation.controller
        Qt.callLater(() => c.appendAppLog(text(Date.now() - started), false, false))
    }

    function closeMenus() {
        const c = navigation.controller
        c.accountMenu = false
        c.serverMenu = false
        c.modeMenu = false
    }

    function selectTab(name, index) {
        const c = navigation.controller
        const started = Date.now()
        c.tab = name
        c.tabIndex = index
        closeMenus()
        perfLater(started, ms => "[PERF] 页面切换 tab=" + name + " next-event=" + ms + "ms")
    }

    function openMembership() {
        const c = navigation.controller
        if (!c.loggedIn) {
            c.appendAppLog("[UI] 未登录，点击会员入口，打开登录窗口")
            openLogin()
        } else {
            selectTab("vip", 2)
        }
    }

    function openLogin() {
        const c = navigation.controller
        c.accountMenu = false
        c.logDialog = false
        c.loginDialog = true
    }

    function toggleAccountMenu(anchorItem, source) {
        const c = navigation.controller
        const started = Date.now()
        c.appendAppLog("[UI] 用户中心点击 source=" + source + " loggedIn=" + c.loggedIn + " before=" + c.accountMenu)
        if (!c.loggedIn) {
            c.appendAppLog("[UI] 未登录，打开登录窗口")
            openLogin()
            return
        }
        const from = source || "title-account"
        if (!WindowLogic.toggledAccountMenu(c.accountMenu, c.accountMenuSource, c.accountMenuAnchor, from, anchorItem)) {
            c.accountMenu = false
        } else {
            c.accountMenuSource = from
            c.accountMenuAnchor = anchorItem
            c.serverMenu = false
            c.modeMenu = false
            c.accountMenu = true
        }
        const state = c.accountMenu
        c.appendAppLog("[UI] 用户中心状态 accountMenu=" + state)
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
        const c = navigation.controller
        const open = !c.serverMenu
        closeMenus()
        c.serverMenu = open
    }

    function toggleModeMenu() {
        const c = navigation.controller
        const open = !c.modeMenu
        closeMenus()
        c.modeMenu = open
    }

    // A region is the game's, not a node: there is nothing measured to show beside it.
    function regionRows(game) {
        const servers = game && game.servers ? game.servers : []
        const rows = []
        for (let i = 0; i < servers.length; ++i)
            rows.push({ title: String(servers[i]), detail: "" })
        return rows
    }

    function chooseServer(name) {
        const c = navigation.controller
        c.setServer(name)
        c.serverMenu = false
        c.toast("已切换区服：" + name)
    }

    function chooseMode(name) {
        const c = navigation.controller
        c.mode = name
        c.modeMenu = false
        c.toast("加速模式：" + name)
    }

    function toggleDualNetwork() {
        const c = navigation.controller
        c.dualNetwork = !c.dualNetwork
        // The switch is kept for a dual-path mode the core does not offer yet: it changes no connection.
        c.toast("双网防丢包已" + (c.dualNetwork ? "开启 · 当前仅保存此设置，连接不变" : "关闭"))
    }

    // The route selector: signed in with no routes yet (and none on their way), ask for them too.
    function openRouteDialog() {
        const c = navigation.controller
        closeMenus()
        c.nodeDialog = true
        if (c.loggedIn && c.nodes.length === 0 && !c.routesLoading)
            c.requestRoutes("line-selector")
        else if (c.loggedIn && !c.routesLoading)
            c.measureRoutes("node-dialog")
    }

    function openLogDialog() {
        const c = navigation.controller
        c.accountMenu = false
        c.logDialog = true
    }

    // Esc: the topmost open dialog or menu closes. The sign-in dialog keeps its fields, as with a
    // click on the mask.
    function closeTopmost() {
        const c = navigation.controller
        if (c.logDialog)
            c.logDialog = false
        else if (c.nodeDialog)
            c.nodeDialog = false
        else if (c.loginDialog)
            c.loginDialog = false
        else
            closeMenus()
    }
}
