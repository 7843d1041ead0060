import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/shell"

// The main window's navigation rules: what is open after each step and what is reported.
Item {
    id: root

    width: 1360
    height: 836

    QtObject {
        id: heard

        property var routeRequests: []
        property var logLines: []
    }

    Item { id: avatar; x: 30; y: 770; width: 34; height: 34 }
    Item { id: chip; x: 900; y: 8; width: 165; height: 30 }
    Item { id: lowSelector; x: 500; y: 760; width: 183; height: 40 }

    WindowNavigation {
        id: navigation

        scene: root
        statusBarTop: 806
        loggedIn: true
        routesKnown: false
        routesLoading: false
        onLogLine: text => heard.logLines = heard.logLines.concat([text])
        onRoutesWanted: reason => heard.routeRequests = heard.routeRequests.concat([reason])
        onMeasurementWanted: reason => heard.routeRequests = heard.routeRequests.concat(["measure " + reason])
    }

    TestCase {
        name: "WindowNavigation"
        when: windowShown

        function init() {
            navigation.loggedIn = true
            navigation.accountMenu = navigation.serverMenu = navigation.modeMenu = false
            navigation.nodeDialog = navigation.logDialog = navigation.loginDialog = false
            navigation.accountMenuAnchor = null
            heard.logLines = []
            heard.routeRequests = []
        }

        function test_accountMenuMovesBetweenAnchors() {
            navigation.toggleAccountMenu(avatar, "rail-avatar")
            verify(navigation.accountMenu)
            compare(navigation.accountMenuSource, "rail-avatar")
            // The chip takes the open menu over instead of closing it.
            navigation.toggleAccountMenu(chip, "title-account")
            verify(navigation.accountMenu)
            compare(navigation.accountMenuAnchor, chip)
            navigation.toggleAccountMenu(chip, "title-account")
            verify(!navigation.accountMenu)
            // Without a source the chip's is meant.
            navigation.toggleAccountMenu(chip, "")
            compare(navigation.accountMenuSource, "title-account")
            verify(heard.logLines.indexOf("[UI] 用户中心点击 source=rail-avatar loggedIn=true before=false") >= 0)
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
            navigation.loggedIn = false
            navigation.logDialog = true
            navigation.tab = "home"
            data.open()
            verify(navigation.loginDialog)
            verify(!navigation.logDialog && !navigation.accountMenu)
            compare(navigation.tab, "home")
            verify(heard.logLines.indexOf(data.line) >= 0)
        }

        function test_selectTabClosesMenus() {
            navigation.accountMenu = navigation.serverMenu = true
            navigation.selectTab("settings", 3)
            compare(navigation.tab, "settings")
            compare(navigation.tabIndex, 3)
            verify(!navigation.accountMenu && !navigation.serverMenu && !navigation.modeMenu)
            tryVerify(() => heard.logLines.some(l => l.indexOf("[PERF] 页面切换 tab=settings next-event=") === 0))
            navigation.openMembership()
            compare(navigation.tab, "vip")
        }

        // Esc closes the topmost thing open, one at a time; the sign-in dialog just hides.
        function test_escapeOrder() {
            navigation.serverMenu = navigation.loginDialog = navigation.nodeDialog = navigation.logDialog = true
            const steps = [["logDialog"], ["logDialog", "nodeDialog"], ["logDialog", "nodeDialog", "loginDialog"],
                           ["logDialog", "nodeDialog", "loginDialog", "serverMenu"]]
            for (const closed of steps) {
                navigation.closeTopmost()
                for (const name of ["logDialog", "nodeDialog", "loginDialog", "serverMenu"])
                    compare(navigation[name], closed.indexOf(name) < 0, name + " after closing " + closed)
            }
        }

        function test_menusExcludeEachOther() {
            navigation.accountMenu = true
            navigation.toggleServerMenu()
            verify(navigation.serverMenu && !navigation.accountMenu)
            navigation.toggleModeMenu()
            verify(navigation.modeMenu && !navigation.serverMenu)
            navigation.toggleModeMenu()
            verify(!navigation.modeMenu)
        }

        function test_routeSelector_data() {
            return [
                { tag: "no routes", loggedIn: true, known: false, loading: false, requests: ["line-selector"] },
                { tag: "loading", loggedIn: true, known: false, loading: true, requests: [] },
                { tag: "routes known", loggedIn: true, known: true, loading: false,
                  requests: ["measure node-dialog"] },
                { tag: "signed out", loggedIn: false, known: false, loading: false, requests: [] }
            ]
        }

        function test_routeSelector(data) {
            navigation.loggedIn = data.loggedIn
            navigation.routesKnown = data.known
            navigation.routesLoading = data.loading
            navigation.modeMenu = true
            navigation.openRouteDialog()
            verify(navigation.nodeDialog && !navigation.modeMenu)
            compare(heard.routeRequests, data.requests)
        }

        // A region is not measured: its row carries no figure.
        function test_regionRows() {
            const rows = navigation.regionRows(["艾欧尼亚", "黑色玫瑰"])
            compare(rows.map(r => r.title + "|" + r.detail), ["艾欧尼亚|", "黑色玫瑰|"])
            compare(navigation.regionRows([]).length, 0)
        }

        function test_popupY() {
            // Room below: under the anchor; none: above it.
            compare(navigation.popupY(chip, 210), 8 + 30 + 8)
            compare(navigation.popupY(lowSelector, 210), 760 - 8 - 210)
            compare(navigation.popupY(lowSelector, 900), 8)
        }
    }
}
