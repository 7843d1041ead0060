import QtQuick
import Nimbra
import "../SessionLogic.js" as Session

// The sign-in and registration dialog as the window shows it: results become toasts and close it.
// Made from its address on the first opening, so the dialog's documents are not loaded at start.
AuthModal {
    id: part

    required property var controller

    api: App.passportApi
    lightMode: controller.dawn
    ink: controller.ink
    ink2: controller.ink2
    ink3: controller.ink3
    ink4: controller.ink4
    primary: controller.primary
    accent: controller.accent
    onClosed: part.controller.loginDialog = false
    onToastRequested: (message, warning) => part.controller.toast(message, warning)
    // The dialog hears of the sign-in before the state store does, so the name comes from the
    // answer's phone, masked as the window masks it.
    onLoginSucceeded: phone => {
        part.forget()
        part.controller.loginDialog = false
        part.controller.toast("登录成功，欢迎回来，" + Session.maskUserName(phone))
    }
    onRegistrationSucceeded: {
        part.forget()
        part.controller.loginDialog = false
        part.controller.toast("注册成功，已自动登录并赠送 3 天 VIP 体验")
    }
    onPasswordReset: part.controller.toast("密码修改成功，请使用新密码登录")

    // A sign-out leaves the form as a new person finds it (a shared computer).
    Connections {
        property bool signedIn: false

        target: App.globalData
        Component.onCompleted: signedIn = App.globalData.loggedIn

        function onAccountChanged() {
            if (signedIn && !App.globalData.loggedIn)
                part.forget()
            signedIn = App.globalData.loggedIn
        }
    }
}
