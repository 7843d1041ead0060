import QtQuick
// Qualified, as in Main: an unqualified import of the own module hides its internal documents.
import Nimbra as N

// Keeps the window's stored choices and the store in step: the window's properties start from the
// store (Main binds them), and each change the user makes is written back. Start at login is the
// system's autostart entry: switching it writes or removes the entry, and a refusal puts the switch
// back to what is there.
QtObject {
    id: stored

    required property var controller

    function applyAutoStart() {
        const c = stored.controller
        const wanted = c.autoStart
        if (wanted === N.Preferences.autoStart)
            return
        if (N.Preferences.setAutoStart(wanted)) {
            c.toast(wanted ? "已开启开机自启动，登录后将静默启动到托盘" : "已关闭开机自启动")
            return
        }
        c.appendAppLog("[UI] 开机自启动设置失败 error=" + N.Preferences.lastError, true)
        c.toast("开机自启动设置失败：" + N.Preferences.lastError, true)
        c.autoStart = N.Preferences.autoStart
    }

    property Connections changes: Connections {
        target: stored.controller

        function onDawnChanged() { N.Preferences.dawn = stored.controller.dawn }
        function onSmartRouteChanged() { N.Preferences.smartRoute = stored.controller.smartRoute }
        function onReconnectChanged() { N.Preferences.reconnect = stored.controller.reconnect }
        function onModeChanged() { N.Preferences.mode = stored.controller.mode }
        function onDualNetworkChanged() { N.Preferences.dualNetwork = stored.controller.dualNetwork }
        function onAutoStartChanged() { stored.applyAutoStart() }
    }
}
