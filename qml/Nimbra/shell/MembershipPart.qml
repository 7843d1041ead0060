import QtQuick
import Nimbra
import "../SessionLogic.js" as Session

// The membership page as the window shows it: the signed-in user and the theme flag in,
// toasts, sign-in requests and trace lines out. Made from its address when its tab opens, so its
// documents are not loaded at start.
RechargeView {
    id: part

    required property AccelerationSession session
    required property bool dawn

    api: App.rechargeApi
    dataStore: App.globalData
    guid: App.globalData.userId
    loggedIn: App.globalData.loggedIn
    games: Session.allKnownGames(App.globalData.commonGames,
                                 App.globalData.gamePageLoaded ? App.globalData.games : App.globalData.commonGames)
    qrGenerator: App.qrCodeGenerator
    // The page is a themed scope: its colours follow the theme flag.
    lightMode: dawn
    onToastRequested: (message, warning) => part.session.toast(message, warning)
    onTraceRequested: message => part.session.appendAppLog(message, false, false)
}
