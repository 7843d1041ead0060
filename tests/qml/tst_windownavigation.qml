import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/shell"

// The main window's navigation rules against a stand-in for the window's presentation state.
Item {
    id: root

    width: 1360
    height: 836

    QtObject {
        id: window

        property bool loggedIn: true
        property string tab: "home"
        property int tabIndex: 0
        property bool nodeDialog: false
        property bool loginDialog: false
        property bool accountMenu: false
        property bool logDialog: false
        property bool serverMenu: false
        property bool modeMenu: false
        property string accountMenuSource: "title-account"
        property var accountMenuAnchor: null
        property var nodes: []
        property bool routesLoading: false
        property var routeRequests: []
        property var logLines: []

        function appendAppLog(message) { logLines = logLines.concat([message]) }
        function requestRoutes(reason) { routeRequests = routeRequests.concat([reason]) }
        function measureRoutes(reason) { routeRequests = routeRequests.concat(["measure " + reason]) }
        function toast() {}
    }

    Item { id: avatar; x: 30; y: 770; width: 34; height: 34 }
    Item { id: chip; x: 900; y: 8; width: 165; height: 30 }
    Item { id: lowSelector; x: 500; y: 760; width: 183; height: 40 }

    WindowNavigation {
        id: navigation

        controller: window
        scene: root
        statusBarTop: 806
    }

    TestCase {
        name: "WindowNavigation"
        when: windowShown

        function init() {
            window.loggedIn = true
            window.accountMenu = window.serverMenu = window.modeMenu = false
            window.nodeDialog = window.logDialog = window.loginDialog = false
            window.accountMenuAnchor = null
            window.logLines = []
            window.routeRequests = []
        }

        function test_accountMenuMovesBetweenAnchors() {
            navigation.toggleAccountMenu(avatar, "rail-avatar")
            verify(window.accountMenu)
            compare(window.accountMenuSource, "rail-avatar")
            // The chip takes the open menu over instead of closing it.
            navigation.toggleAccountMenu(chip, "title-account")
            verify(window.accountMenu)
            compare(window.accountMenuAnchor, chip)
            navigation.toggleAccountMenu(chip, "title-account")
            verify(!window.accountMenu)
            // Without a source the chip's is meant.
            navigation.toggleAccountMenu(chip, "")
            compare(window.accountMenuSource, "title-account")
            verify(window.logLines.indexOf("[UI] 用户中心点击 source=rail-avatar loggedIn=true before=false") >= 0)
        }

        function test_signedOutOpensSignIn_data() {
            return [
                { tag: "avatar", open: () => navigation.toggleAccountMenu(avatar, "rail-avatar"),
                  line: "[UI] 未登录，打开登录窗口" },
                { tag: "membership", open: () => navigation.openMembership(),
                  line: "[UI] 未登录，点击会员入口，打开登录窗口" }
            ]
        }

        function test_signedOutOpensSignIn(data) {
            window.loggedIn = false
            window.logDialog = true
            window.tab = "home"
            data.open()
            verify(window.loginDialog)
            verify(!window.logDialog && !window.accountMenu)
            compare(window.tab, "home")
            verify(window.logLines.indexOf(data.line) >= 0)
        }

        function test_selectTabClosesMenus() {
            window.accountMenu = window.serverMenu = true
            navigation.selectTab("settings", 3)
            compare(window.tab, "settings")
            compare(window.tabIndex, 3)
            verify(!window.accountMenu && !window.serverMenu && !window.modeMenu)
            tryVerify(() => window.logLines.some(l => l.indexOf("[PERF] 页面切换 tab=settings next-event=") === 0))
            navigation.openMembership()
            compare(window.tab, "vip")
        }

        // Esc closes the topmost thing open, one at a time; the sign-in dialog just hides.
        function test_escapeOrder() {
            window.serverMenu = window.loginDialog = window.nodeDialog = window.logDialog = true
            const steps = [["logDialog"], ["logDialog", "nodeDialog"], ["logDialog", "nodeDialog", "loginDialog"],
                           ["logDialog", "nodeDialog", "loginDialog", "serverMenu"]]
            for (const closed of steps) {
                navigation.closeTopmost()
                for (const name of ["logDialog", "nodeDialog", "loginDialog", "serverMenu"])
                    compare(window[name], closed.indexOf(name) < 0, name + " after closing " + closed)
            }
        }

        function test_menusExcludeEachOther() {
            window.accountMenu = true
            navigation.toggleServerMenu()
            verify(window.serverMenu && !window.accountMenu)
            navigation.toggleModeMenu()
            verify(window.modeMenu && !window.serverMenu)
            navigation.toggleModeMenu()
            verify(!window.modeMenu)
        }

        function test_routeSelector_data() {
            return [
                { tag: "no routes", loggedIn: true, nodes: [], loading: false, requests: ["line-selector"] },
                { tag: "loading", loggedIn: true, nodes: [], loading: true, requests: [] },
                { tag: "routes known", loggedIn: true, nodes: [{ id: 1 }], loading: false,
                  requests: ["measure node-dialog"] },
                { tag: "signed out", loggedIn: false, nodes: [], loading: false, requests: [] }
            ]
        }

        function test_routeSelector(data) {
            window.loggedIn = data.loggedIn
            window.nodes = data.nodes
            window.routesLoading = data.loading
            window.modeMenu = true
            navigation.openRouteDialog()
            verify(window.nodeDialog && !window.modeMenu)
            compare(window.routeRequests, data.requests)
        }

        // A region is not measured: its row carries no figure.
        function test_regionRows() {
            const rows = navigation.regionRows({ servers: ["艾欧尼亚", "黑色玫瑰"] })
            compare(rows.map(r => r.title + "|" + r.detail), ["艾欧尼亚|", "黑色玫瑰|"])
            compare(navigation.regionRows(null).length, 0)
        }

        function test_popupY() {
            // Room below: under the anchor; none: above it.
            compare(navigation.popupY(chip, 210), 8 + 30 + 8)
            compare(navigation.popupY(lowSelector, 210), 760 - 8 - 210)
            compare(navigation.popupY(lowSelector, 900), 8)
        }
    }
}
