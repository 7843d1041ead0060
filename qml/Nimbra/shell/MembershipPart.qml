import QtQuick
import Nimbra

// The membership page as the window shows it: the signed-in user and the window's palette in,
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
    lightMode: controller.dawn
    ink: controller.ink
    ink2: controller.ink2
    ink3: controller.ink3
    ink4: controller.ink4
    primary: controller.primary
    accent: controller.accent
    neon: controller.neon
    cardFill: controller.cardFill
    edge: controller.edge
    onToastRequested: (message, warning) => part.controller.toast(message, warning)
    onLoginRequested: part.controller.openLogin()
    onTraceRequested: message => part.controller.appendAppLog(message, false, false)
}
