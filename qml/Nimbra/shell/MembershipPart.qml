import QtQuick
import Nimbra

// The membership page as the window shows it: the signed-in user and the theme flag in,
// toasts, sign-in requests and trace lines out. Made from its address when its tab opens, so its
// documents are not loaded at start.
RechargeView {
    id: part

    required property var controller

    api: App.rechargeApi
    dataStore: App.globalData
    guid: controller.userId
    loggedIn: controller.loggedIn
    games: controller.allKnownGames
    qrGenerator: App.qrCodeGenerator
    // The page is a themed scope: its colours follow the theme flag.
    lightMode: controller.dawn
    onToastRequested: (message, warning) => part.controller.toast(message, warning)
    onLoginRequested: part.controller.openLogin()
    onTraceRequested: message => part.controller.appendAppLog(message, false, false)
}
