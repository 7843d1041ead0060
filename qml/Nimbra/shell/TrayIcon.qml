import QtQuick
import Qt.labs.platform as Platform
import "WindowLogic.js" as WindowLogic

// The tray icon: whether acceleration is on at a glance, and a menu to show or hide the window, start
// or stop acceleration for the current game and route, and quit. While the window is hidden, its
// toasts come up as the tray's messages, so a stop or a reconnect is still noticed.
Platform.SystemTrayIcon {
    id: tray

    required property var controller
    readonly property bool windowShown: controller.visible && controller.visibility !== Window.Minimized
    readonly property var menuState: WindowLogic.trayMenu(windowShown, controller.boosting, App.singBoxManager.starting,
                                                      controller.currentGame.name, controller.line)

    // Shown once its icon is set: the icon must be there before the system gets it.
    property bool ready: false

    function showWindow() {
        if (controller.visibility === Window.Minimized)
            controller.showNormal()
        else
            controller.show()
        controller.raise()
        controller.requestActivate()
    }

    function mirrorToast() {
        const c = tray.controller
        if (!tray.windowShown && tray.supportsMessages && c.toastText !== "")
            tray.showMessage("Nimbra加速器", c.toastText,
                             c.toastWarning ? Platform.SystemTrayIcon.Warning : Platform.SystemTrayIcon.Information,
                             4000)
    }

    visible: ready && available
    icon.source: controller.assetRoot + "/" + menuState.icon
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
                    tray.controller.hide()
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
                if (!tray.controller.loggedIn)
                    tray.showWindow()
                tray.controller.toggleAcceleration()
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
        tray.controller.appendAppLog("[UI] 系统托盘 available=" + tray.available, false, false)
    }

    property Connections toasts: Connections {
        target: tray.controller

        function onToastTextChanged() { tray.mirrorToast() }
    }
}
