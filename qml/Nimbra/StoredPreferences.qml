import QtQuick

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
        if (wanted === Preferences.autoStart)
            return
        if (Preferences.setAutoStart(wanted)) {
            c.toast(wanted ? "已开启开机自启动，登录后将静默启动到托盘" : "已关闭开机自启动")
            return
        }
        c.appendAppLog("[UI] 开机自启动设置失败 error=" + Preferences.lastError, true)
        c.toast("开机自启动设置失败：" + Preferences.lastError, true)
        c.autoStart = Preferences.autoStart
    }

    property Connections changes: Connections {
        target: stored.controller

        function onDawnChanged() { Preferences.dawn = stored.controller.dawn }
        function onSmartRouteChanged() { Preferences.smartRoute = stored.controller.smartRoute }
        function onReconnectChanged() { Preferences.reconnect = stored.controller.reconnect }
        function onModeChanged() { Preferences.mode = stored.controller.mode }
        function onDualNetworkChanged() { Preferences.dualNetwork = stored.controller.dualNetwork }
        function onAutoStartChanged() { stored.applyAutoStart() }
    }
}
