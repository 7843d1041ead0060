import QtQuick
import Nimbra
import Qt.labs.platform as Platform
import "WindowLogic.js" as WindowLogic
import "../SessionLogic.js" as Session

// The tray icon: whether acceleration is on at a glance (with the session's figures in its tooltip), and a menu to show or hide the window, start
// or stop acceleration for the current game and route, and quit. While the window is hidden, its
// toasts come up as the tray's messages, so a stop or a reconnect is still noticed.
Platform.SystemTrayIcon {
    id: tray

    required property Window window
    required property AccelerationSession session
    required property string assetRoot
    readonly property var game: session.choice.selectedGame
    readonly property bool windowShown: window.visible && window.visibility !== Window.Minimized
    readonly property var menuState: WindowLogic.trayMenu(windowShown, session.controller.boosting, App.singBoxManager.starting,
                                                      game.name, session.routeSource.line,
                                                      Session.sessionSummary(session.controller.boostSeconds,
                                                                             session.measurement.latencyText,
                                                                             session.controller.averageLatencyText,
                                                                             session.controller.sessionSentBytes,
                                                                             session.controller.sessionReceivedBytes))

    // Shown once its icon is set: the icon must be there before the system gets it.
    property bool ready: false

    function showWindow() {
        if (window.visibility === Window.Minimized)
            window.showNormal()
        else
            window.show()
        window.raise()
        window.requestActivate()
    }

    function mirrorToast() {
        const s = tray.session
        if (!tray.windowShown && tray.supportsMessages && s.toastText !== "")
            tray.showMessage("Nimbra加速器", s.toastText,
                             s.toastWarning ? Platform.SystemTrayIcon.Warning : Platform.SystemTrayIcon.Information,
                             4000)
    }

    visible: ready && available
    icon.source: assetRoot + "/" + menuState.icon
    tooltip: menuState.tooltip

    onActivated: reason => {
        if (reason === Platform.SystemTrayIcon.Trigger || reason === Platform.SystemTrayIcon.DoubleClick)
            showWindow()
    }

    menu: Platform.Menu {
        Platform.MenuItem {
            text: tray.menuState.windowText
            onTriggered: {
                if (tray.windowShown)
                    tray.window.hide()
                else
                    tray.showWindow()
            }
        }

        Platform.MenuSeparator {}

        Platform.MenuItem {
            text: tray.menuState.targetText
            enabled: false
        }

        Platform.MenuItem {
            text: tray.menuState.boostText
            onTriggered: {
                // Signing in happens in the window.
                if (!App.globalData.loggedIn)
                    tray.showWindow()
                tray.session.controller.toggleAcceleration()
            }
        }

        Platform.MenuSeparator {}

        Platform.MenuItem {
            text: "退出"
            onTriggered: Qt.quit()
        }
    }

    Component.onCompleted: {
        ready = true
        tray.session.appendAppLog("[UI] 系统托盘 available=" + tray.available, false, false)
    }

    property Connections toasts: Connections {
        target: tray.session

        function onToastChanged() { tray.mirrorToast() }
    }
}
