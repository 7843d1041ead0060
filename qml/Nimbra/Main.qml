import QtQuick
// Qualified: an unqualified import of the document's own module hides the module's internal documents.
import Nimbra as N
import QtQuick.Window
import "SessionLogic.js" as Session
import "shell"

Window {
    id: window

    readonly property int designWidth: 1360
    readonly property int designHeight: 836
    readonly property string assetRoot: "qrc:/assets"
    readonly property bool expandedLayout: visibility === Window.Maximized || visibility === Window.FullScreen
    readonly property real fitScale: Math.min(width / designWidth, height / designHeight)

    // The user's stored choices; StoredPreferences writes every change back.
    property bool dawn: N.Preferences.dawn
    property bool smartRoute: N.Preferences.smartRoute
    property bool reconnect: N.Preferences.reconnect
    property bool autoStart: N.Preferences.autoStart
    // Components of the parts made on first use, loaded after the first frame (below).
    property var preloaded: []

    // The acceleration session lives in C++; the window reads it and reacts to what concerns the interface.
    readonly property N.AccelerationSession session: N.App.accelerationSession
    property string mode: N.Preferences.mode
    property bool dualNetwork: N.Preferences.dualNetwork
    property real perfLastTickMs: 0

    readonly property bool loggedIn: N.App.globalData.loggedIn
    readonly property string userName: Session.maskUserName(N.App.globalData.userPhone)
    readonly property int vipNum: Session.vipNumber(N.App.globalData.membership, N.App.globalData.authVipNum)

    // Where the window opens: the remembered place fitted to the screen (WindowStart), else the design.
    readonly property var startGeometry: N.WindowStart.geometry
    readonly property bool startPlaced: startGeometry.width > 0 && startGeometry.height > 0

    x: startPlaced ? startGeometry.x : 0
    y: startPlaced ? startGeometry.y : 0
    width: startPlaced ? startGeometry.width : designWidth
    height: startPlaced ? startGeometry.height : designHeight
    minimumWidth: 1060
    minimumHeight: 680
    // A start at login stays in the tray until the user opens the window from there.
    visible: !N.WindowStart.startHidden
    title: "Nimbra加速器"
    color: "transparent"
    flags: Qt.FramelessWindowHint | Qt.Window

    Component.onCompleted: {
        perfLastTickMs = Date.now()
        session.startUp(N.App.qmlDebuggerRequested, N.App.qmlDebuggerActive)
    }

    // What the session's flows change in the interface: a chosen game closes the menus and shows the
    // home page, a chosen route closes its dialog, a start while signed out opens the sign-in.
    Connections {
        target: window.session

        function onGameChosen() {
            navigation.serverMenu = false
            navigation.modeMenu = false
            navigation.nodeDialog = false
            navigation.tab = "home"
            navigation.tabIndex = 0
        }
        function onSigningOut() { navigation.accountMenu = false }
    }

    Connections {
        target: window.session.routeSource

        function onNodeChosen() { navigation.nodeDialog = false }
    }

    Connections {
        target: window.session.controller

        function onSignInRequired() { navigation.loginDialog = true }
    }

    // A payment outlives the membership page: while the page is not shown, its outcome is told here.
    Connections {
        target: N.App.rechargeApi.payment
        enabled: !pages.vipPage

        function onNotice(message, warning) { window.session.toast(message, warning) }
    }

    // The settings page's switch decides whether the supervisor rebuilds a channel that dropped.
    Binding {
        target: N.App.singBoxManager
        property: "autoReconnect"
        value: window.reconnect
    }

    // Responsiveness probe: a tick 200 ms or more late means the event loop was blocked that long. Two
    // ticks a second keep an idle window idle.
    Timer {
        interval: 500
        repeat: true
        running: true
        onTriggered: {
            const now = Date.now()
            const gap = now - window.perfLastTickMs
            if (window.perfLastTickMs > 0 && gap >= interval + 200)
                window.session.appendAppLog("[PERF] UI事件循环停顿 gap=" + gap + "ms tab=" + navigation.tab
                                            + " accountMenu=" + navigation.accountMenu + " vipLoader="
                                            + pages.vipLoaderStatus, true, false)
            window.perfLastTickMs = now
        }
    }

    StoredPreferences {
        id: preferences

        dawn: window.dawn
        smartRoute: window.smartRoute
        reconnect: window.reconnect
        mode: window.mode
        dualNetwork: window.dualNetwork
        session: window.session
    }
    onAutoStartChanged: autoStart = preferences.applyAutoStart(autoStart)

    // Small text grows as the window shrinks the scene, so it never reads below 10 px on screen.
    Binding {
        target: N.Theme
        property: "textFloor"
        value: 10 / Math.max(0.1, window.fitScale)
    }

    // Only where the desktop has a tray; elsewhere the window is all there is, as before. By address,
    // so that the tray's module is not even loaded where there is none.
    Loader {
        active: N.WindowStart.trayAvailable
        Component.onCompleted: setSource(Qt.resolvedUrl("shell/TrayIcon.qml"), {
            window: window,
            session: window.session,
            assetRoot: window.assetRoot
        })
    }

    // What is made on first use is loaded in the background once the first frame is out, so that it
    // opens without loading its documents then. The components are kept, and their types with them.
    Connections {
        target: window
        enabled: window.preloaded.length === 0

        function onFrameSwapped() {
            const made = []
            for (const document of dialogs.laterDocuments.concat(pages.laterDocuments))
                made.push(Qt.createComponent(document, Component.Asynchronous))
            window.preloaded = made
        }
    }

    function toggleMaximized() {
        if (window.visibility === Window.Maximized)
            window.showNormal()
        else
            window.showMaximized()
    }

    // The tab, the menus and the dialogs open: the rules live in WindowNavigation.
    WindowNavigation {
        id: navigation

        scene: scene
        statusBarTop: scene.height - statusBar.height
        loggedIn: window.loggedIn
        routesKnown: window.session.routeSource.nodes.length > 0
        routesLoading: window.session.routeSource.routesLoading
        onLogLine: (text, forwardToConsole) => window.session.appendAppLog(text, false, forwardToConsole)
        onToastRequested: text => window.session.toast(text)
        onRoutesWanted: reason => window.session.routeSource.requestRoutes(reason)
        onMeasurementWanted: reason => window.session.controller.measureRoutes(reason)
        onServerChosen: name => window.session.choice.setServer(name)
        onModeChosen: name => window.mode = name
    }

    // Ctrl+K from another page: the home page's game search, whose field prints the key. On the home
    // page its own list takes it (two shortcuts on one key would both go dead).
    Shortcut {
        sequence: "Ctrl+K"
        context: Qt.WindowShortcut
        enabled: navigation.tab !== "home" && !navigation.modalOpen
        onActivated: {
            navigation.selectTab("home", 0)
            pages.home.focusSearch()
        }
    }

    Shortcut {
        sequence: "Esc"
        context: Qt.WindowShortcut
        enabled: navigation.modalOpen || navigation.accountMenu || navigation.serverMenu || navigation.modeMenu
        onActivated: navigation.closeTopmost()
    }

    // The scene is scaled uniformly so the design fits the window, and grows in the other direction
    // to the window's proportions, so no strip of the window is left empty at any size.
    Item {
        id: scene

        width: window.width / window.fitScale
        height: window.height / window.fitScale
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
                color: N.Theme.primary(window.dawn)
                opacity: 0.07
            }

            Rectangle {
                width: 640
                height: 640
                radius: width / 2
                x: parent.width - 380
                y: parent.height - 360
                color: N.Theme.accent(window.dawn)
                opacity: 0.06
            }

            TabRail {
                id: rail

                height: parent.height - statusBar.height
                dawn: window.dawn
                assetRoot: window.assetRoot
                tab: navigation.tab
                tabIndex: navigation.tabIndex
                loggedIn: window.loggedIn
                userName: window.userName
                onTabRequested: (name, index) => navigation.selectTab(name, index)
                onMembershipRequested: navigation.openMembership()
                onAccountMenuRequested: anchorItem => navigation.toggleAccountMenu(anchorItem, "rail-avatar")
            }

            TitleBar {
                id: titleBar

                anchors.left: rail.right
                anchors.right: parent.right
                dawn: window.dawn
                assetRoot: window.assetRoot
                loggedIn: window.loggedIn
                userName: window.userName
                vipNum: window.vipNum
                expandedLayout: window.expandedLayout
                onMoveRequested: window.startSystemMove()
                onMaximizeToggled: window.toggleMaximized()
                onMinimizeRequested: window.showMinimized()
                onCloseRequested: window.close()
                onLogRequested: navigation.openLogDialog()
                onAccountMenuRequested: anchorItem => navigation.toggleAccountMenu(anchorItem, "title-account")
            }

            // The pages: right of the rail, between the title and the status bar.
            Pages {
                id: pages

                x: rail.width + 24
                y: titleBar.height + 20
                width: parent.width - x - 24
                height: parent.height - y - statusBar.height - 24
                session: window.session
                tab: navigation.tab
                dawn: window.dawn
                assetRoot: window.assetRoot
                fitScale: window.fitScale
                smartRoute: window.smartRoute
                reconnect: window.reconnect
                autoStart: window.autoStart
                mode: window.mode
                serverMenuOpen: navigation.serverMenu
                routeDialogOpen: navigation.nodeDialog
                modeMenuOpen: navigation.modeMenu
                selectorsActive: navigation.tab === "home" && !navigation.modalOpen
                onLibraryRequested: navigation.selectTab("games", 1)
                onLoginRequested: navigation.openLogin()
                onServerMenuRequested: navigation.toggleServerMenu()
                onRouteDialogRequested: navigation.openRouteDialog()
                onModeMenuRequested: navigation.toggleModeMenu()
                onDawnChosen: dawn => window.dawn = dawn
                onPreferenceToggled: (key, on) => window[key] = on
            }

            StatusBar {
                id: statusBar

                anchors.bottom: parent.bottom
                width: parent.width
                dawn: window.dawn
                session: window.session
            }

            SelectorMenus {
                anchors.fill: parent
                navigation: navigation
                home: pages.home
                dawn: window.dawn
                serverMenuOpen: navigation.serverMenu
                modeMenuOpen: navigation.modeMenu
                servers: window.session.choice.servers
                server: window.session.choice.server
                mode: window.mode
                onDismissed: {
                    navigation.serverMenu = false
                    navigation.modeMenu = false
                }
            }

            WindowDialogs {
                id: dialogs

                anchors.fill: parent
                statusBarTop: statusBar.y
                lightMode: window.dawn
                routeOpen: navigation.nodeDialog
                logOpen: navigation.logDialog
                signInOpen: navigation.loginDialog
                accountMenuOpen: navigation.accountMenu
                accountMenuAnchor: navigation.accountMenuAnchor
                accountMenuSource: navigation.accountMenuSource
                userName: window.userName
                vipNum: window.vipNum
                vipType: N.App.rechargeApi.membershipTypeText(N.App.globalData.membership)
                vipExpiryText: N.App.rechargeApi.membershipExpiryText(N.App.globalData.membership)
                points: N.App.globalData.points
                session: window.session
                onRouteCloseRequested: navigation.nodeDialog = false
                onLogCloseRequested: navigation.logDialog = false
                onSignInCloseRequested: navigation.loginDialog = false
                onAccountMenuCloseRequested: navigation.accountMenu = false
                onSignOutRequested: window.session.signOut()
                onSignInRequested: {
                    navigation.nodeDialog = false
                    navigation.openLogin()
                }
            }

            // Under the title bar: at the bottom it covered the start button and the pay bar.
            Toast {
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.top: titleBar.bottom
                anchors.topMargin: 10
                session: window.session
                dawn: window.dawn
            }
        }

        // The border is drawn over everything the frame holds.
        Rectangle {
            anchors.fill: parent
            radius: frame.radius
            color: "transparent"
            border.width: window.expandedLayout ? 0 : 1
            border.color: N.Theme.edge(window.dawn)
        }
    }

    ResizeEdges {
        anchors.fill: parent
        visible: !window.expandedLayout
        hostWindow: window
    }
}
