import QtQuick
// Qualified, as in Main: an unqualified import of the own module hides its internal documents.
import Nimbra as N

// Keeps the window's stored choices and the store in step: the window's choices start from the store
// (Main binds them) and come in here, and each change the user makes is written back. Start at login
// is the system's autostart entry: switching it writes or removes the entry, and after a refusal the
// switch goes back to what is there.
QtObject {
    id: stored

    required property bool dawn
    required property bool smartRoute
    required property bool reconnect
    required property string mode
    required property bool dualNetwork
    // Where the outcome of switching start at login is told.
    required property N.AccelerationSession session

    onDawnChanged: N.Preferences.dawn = dawn
    onSmartRouteChanged: N.Preferences.smartRoute = smartRoute
    onReconnectChanged: N.Preferences.reconnect = reconnect
    onModeChanged: N.Preferences.mode = mode
    onDualNetworkChanged: N.Preferences.dualNetwork = dualNetwork

    // Returns what start at login now is, for the switch to show.
    function applyAutoStart(wanted: bool): bool {
        if (wanted === N.Preferences.autoStart)
            return wanted
        if (N.Preferences.setAutoStart(wanted)) {
            stored.session.toast(wanted ? "已开启开机自启动，登录后将静默启动到托盘" : "已关闭开机自启动")
            return wanted
        }
        stored.session.appendAppLog("[UI] 开机自启动设置失败 error=" + N.Preferences.lastError, true)
        stored.session.toast("开机自启动设置失败：" + N.Preferences.lastError, true)
        return N.Preferences.autoStart
    }
}
