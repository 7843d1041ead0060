import QtQuick
// Qualified: an unqualified import of the document's own module hides the module's internal documents.
import Nimbra as N
import QtQuick.Window
import QtQuick.Controls.Basic
import "SessionLogic.js" as Session
import "games/GameListLogic.js" as GameLogic
import "recharge/RechargeLogic.js" as RechargeLogic
import "shell"

Window {
    id: window

    readonly property int designWidth: 1360
    readonly property int designHeight: 836
    readonly property int designPageWidth: 1218
    readonly property int designPageHeight: 716
    readonly property string assetRoot: "qrc:/assets"
    readonly property bool expandedLayout: visibility === Window.Maximized || visibility === Window.FullScreen
    readonly property real fitScale: Math.min(width / designWidth, height / designHeight)

    // The user's stored choices; StoredPreferences writes every change back.
    property bool dawn: N.Preferences.dawn
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
    property bool smartRoute: N.Preferences.smartRoute
    property bool reconnect: N.Preferences.reconnect
    property bool autoStart: N.Preferences.autoStart
    property real vipLoaderStartedMs: 0
    property string clockText: ""

    // The acceleration session. The recent game's values are filled in at completion.
    property string gameId: "lol"
    property string server: "艾欧尼亚"
    property string line: "等待线路"
    property string mode: N.Preferences.mode
    property bool dualNetwork: N.Preferences.dualNetwork
    property bool boosting: false
    property bool routesLoading: false
    property bool routeConfigLoading: false
    property bool gameDetailLoading: false
    property string gameDetailKey: ""
    property var loadedGameDetailKeys: ({})
    property string routeError: ""
    property var nodes: []
    property var selectedNode: ({})
    // Real, not int: the drift adds fractions that an int would always round down.
    property real boostedLatency: 32
    property int boostSeconds: 0
    property int disconnectedLatency: 68
    property string toastText: ""
    property bool toastWarning: false
    property var singBoxLogs: []
    property real perfLastTickMs: 0
    property var selectedGame: GameLogic.emptyGame()
    readonly property alias currentGame: window.selectedGame
    property var lastBoostedGame: GameLogic.emptyGame()
    property var pendingBoostGame: GameLogic.emptyGame()
    // The automatic reconnect under way (0: none), so the start it ends in reads as a recovery.
    property int reconnectAttempt: 0

    readonly property bool loggedIn: globalData.loggedIn
    readonly property string userPhone: globalData.userPhone
    readonly property int userId: globalData.userId
    readonly property int points: globalData.points
    readonly property string userName: Session.maskUserName(userPhone)
    readonly property int vipNum: Session.vipNumber(globalData.membership, globalData.authVipNum)
    readonly property string vipType: RechargeLogic.membershipTypeText(globalData.membership)
    readonly property string vipExpiryText: RechargeLogic.membershipExpiryText(globalData.membership)
    readonly property var commonGames: globalData.commonGames
    readonly property bool commonGamesLoaded: globalData.commonGamesLoaded
    readonly property bool gameCatalogLoaded: globalData.gamePageLoaded
    readonly property var games: gameCatalogLoaded ? globalData.games : commonGames
    readonly property int gamePage: globalData.gamePage
    readonly property int gamePageSize: globalData.gamePageSize
    readonly property int gameTotal: globalData.gameTotal
    readonly property int gameTotalPages: globalData.gameTotalPages
    readonly property var allKnownGames: Session.allKnownGames(commonGames, games)
    readonly property var gamesById: Session.gamesById(allKnownGames)
    readonly property var categories: Session.categories(globalData.gameCategories)
    readonly property int disconnectedLatencyBaseline: Session.latencyBaseline(selectedNode, currentGame)
    readonly property int displayedLatency: boosting ? Math.max(1, Math.round(boostedLatency)) : disconnectedLatency

    readonly property color ink: N.Theme.ink(dawn)
    readonly property color ink2: N.Theme.ink2(dawn)
    readonly property color ink3: N.Theme.ink3(dawn)
    readonly property color ink4: N.Theme.ink4(dawn)
    readonly property color primary: N.Theme.primary(dawn)
    readonly property color accent: N.Theme.accent(dawn)
    readonly property color neon: N.Theme.neon(dawn)
    readonly property color cardFill: N.Theme.cardFill(dawn)
    readonly property color edge: N.Theme.edge(dawn)
    readonly property color darkBg: N.Theme.darkBg(dawn)
    readonly property color panelBg: N.Theme.panelBg(dawn)
    readonly property color panelInner: N.Theme.panelInner(dawn)

    readonly property bool modalOpen: nodeDialog || logDialog || loginDialog

    width: designWidth
    height: designHeight
    minimumWidth: 1060
    minimumHeight: 680
    // A start at login stays in the tray until the user opens the window from there.
    visible: !N.WindowStart.startHidden
    title: "Nimbra加速器"
    color: "transparent"
    flags: Qt.FramelessWindowHint | Qt.Window

    // The controller's interface: flows live in SessionController, pure logic in SessionLogic.
    function chooseGame(gameOrId) { session.chooseGame(gameOrId) }
    function chooseNode(node) { session.chooseNode(node) }
    function requestGameDetail(game, reason) { session.requestGameDetail(game, reason) }
    function requestRoutes(reason) { session.requestRoutes(reason) }
    function requestNodeConfig(node, reason) { session.requestNodeConfig(node, reason) }
    function ensureSelectedGame() { session.ensureSelectedGame() }
    function toggleAcceleration() { session.toggleAcceleration() }
    function signOut() { session.signOut() }
    function selectedRouteConfig() { return Session.routeConfigText(selectedNode) }
    function routeGamePayload() { return Session.routeGamePayload(currentGame, gameId, server) }
    function gameFor(id) { return gamesById[String(id)] || allKnownGames[0] || GameLogic.emptyGame() }
    function matchesGame(g, query) { return GameLogic.matchesGame(g, query) }
    function gameIcon(game) { return GameLogic.imageSource(game, assetRoot, "icon") }
    function gameBackground(game) { return GameLogic.imageSource(game, assetRoot, "background") }
    function gameIpList(game) { return Session.gameIpList(game) }
    function nodeKind(node) { return Session.nodeKind(node) }
    function nodeKindLabel(node) { return Session.nodeKindLabel(node) }
    function nodeTypeLabel(node) { return Session.nodeTypeLabel(node) }
    function nodeDetailLabel(node) { return Session.nodeDetailLabel(node) }
    function nodeKindColor(node) { return Session.nodeKindColor(node, neon, primary) }
    function nodeKindIcon(node) { return Session.nodeKindIcon(node) }
    function nodeRequestKey(node) { return Session.nodeRequestKey(node) }
    function nodeStableKey(node) { return Session.nodeStableKey(node) }
    function nodeRequestable(node) { return Session.nodeRequestable(node) }
    function formatNetworkRate(bytesPerSecond) { return Session.formatNetworkRate(bytesPerSecond) }
    function vipLoaderStatus() { return pages.vipLoaderStatus }

    function toast(message, warning) {
        // The flag first: whoever follows the text sees the flag that goes with it.
        toastWarning = warning === true
        toastText = message === undefined || message === null ? "" : String(message)
        toastTimer.restart()
    }

    function appendSingBoxLog(message, error) {
        const flag = error === true
        const next = Session.appendLogLines(singBoxLogs, message, () => flag, Session.timeText(new Date()))
        if (next !== singBoxLogs)
            singBoxLogs = next
    }

    function appendAppLog(message, error, forwardToConsole) {
        if (forwardToConsole !== false)
            console.info(message)
        appendSingBoxLog(message, error)
    }

    function clearSingBoxLogs() { singBoxLogs = [] }

    function copySingBoxLogs() {
        if (singBoxLogs.length === 0) {
            toast("暂无日志可复制", true)
            return
        }
        if (globalData.copyToClipboard(Session.logText(singBoxLogs)))
            toast("已复制全部日志")
        else
            toast("日志复制失败", true)
    }

    Component.onCompleted: session.startUp()

    SessionController {
        id: session

        controller: window
    }

    SessionEvents {
        controller: window
    }

    StoredPreferences {
        controller: window
    }

    // Only where the desktop has a tray; elsewhere the window is all there is, as before.
    Loader {
        active: N.WindowStart.trayAvailable
        sourceComponent: TrayIcon {
            controller: window
        }
    }

    Timer {
        id: toastTimer

        interval: 2400
        onTriggered: window.toastText = ""
    }

    function toggleMaximized() {
        if (window.visibility === Window.Maximized)
            window.showNormal()
        else
            window.showMaximized()
    }

    // Navigation: the rules live in WindowNavigation.
    function selectTab(name, index) { navigation.selectTab(name, index) }
    function openMembership() { navigation.openMembership() }
    function openLogin() { navigation.openLogin() }
    function toggleAccountMenu(anchorItem, source) { navigation.toggleAccountMenu(anchorItem, source) }
    function popupY(anchorItem, popupHeight) { return navigation.popupY(anchorItem, popupHeight) }
    function toggleServerMenu() { navigation.toggleServerMenu() }
    function toggleModeMenu() { navigation.toggleModeMenu() }
    function toggleDualNetwork() { navigation.toggleDualNetwork() }
    function openRouteDialog() { navigation.openRouteDialog() }
    function openLogDialog() { navigation.openLogDialog() }

    onAccountMenuChanged: appendAppLog("[PERF] 用户中心 visible=" + accountMenu, false, false)

    WindowNavigation {
        id: navigation

        controller: window
        scene: scene
        statusBarTop: scene.height - statusBar.height
    }

    Shortcut {
        sequence: "Esc"
        context: Qt.WindowShortcut
        enabled: window.modalOpen || window.accountMenu || window.serverMenu || window.modeMenu
        onActivated: navigation.closeTopmost()
    }

    // The scene is laid out at the design size and scaled to the window; while maximised it grows
    // to the screen's proportions instead of letter-boxing.
    Item {
        id: scene

        width: window.expandedLayout ? window.width / window.fitScale : window.designWidth
        height: window.expandedLayout ? window.height / window.fitScale : window.designHeight
        anchors.centerIn: parent
        scale: window.fitScale

        Rectangle {
            id: frame

            anchors.fill: parent
            radius: window.expandedLayout ? 0 : 14
            clip: true
            gradient: Gradient {
                GradientStop { position: 0.0; color: N.Theme.darkBg(window.dawn) }
                GradientStop { position: 0.62; color: N.Theme.backdropMid(window.dawn) }
                GradientStop { position: 1.0; color: N.Theme.backdropEnd(window.dawn) }
            }

            Rectangle {
                width: 760
                height: 760
                radius: width / 2
                x: -220
                y: -300
                color: window.primary
                opacity: 0.07
            }

            Rectangle {
                width: 640
                height: 640
                radius: width / 2
                x: parent.width - 380
                y: parent.height - 360
                color: window.accent
                opacity: 0.06
            }

            TabRail {
                id: rail

                height: parent.height - statusBar.height
                controller: window
            }

            TitleBar {
                id: titleBar

                anchors.left: rail.right
                anchors.right: parent.right
                controller: window
            }

            // The pages: right of the rail, between the title and the status bar.
            Pages {
                id: pages

                x: rail.width + 24
                y: titleBar.height + 20
                width: parent.width - x - 24
                height: parent.height - y - statusBar.height - 24
                controller: window
            }

            StatusBar {
                id: statusBar

                anchors.bottom: parent.bottom
                width: parent.width
                controller: window
            }

            SelectorMenus {
                anchors.fill: parent
                controller: window
                navigation: navigation
                home: pages.home
            }

            WindowDialogs {
                id: dialogs

                anchors.fill: parent
                controller: window
                statusBarTop: statusBar.y
            }

            Toast {
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.bottom: statusBar.top
                anchors.bottomMargin: 22
                controller: window
            }
        }

        // The border is drawn over everything the frame holds.
        Rectangle {
            anchors.fill: parent
            radius: frame.radius
            color: "transparent"
            border.width: window.expandedLayout ? 0 : 1
            border.color: window.edge
        }
    }

    ResizeEdges {
        anchors.fill: parent
        controller: window
    }
}
