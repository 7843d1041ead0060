import QtQuick
import Nimbra
import "../SessionLogic.js" as Session

// The sign-in and registration dialog as the window shows it: results become toasts and close it.
// Made from its address on the first opening, so the dialog's documents are not loaded at start.
AuthModal {
    id: part

    // Where its outcomes are told, as toasts.
    required property AccelerationSession session

    api: App.passportApi
    onToastRequested: (message, warning) => part.session.toast(message, warning)
    // The dialog hears of the sign-in before the state store does, so the name comes from the
    // answer's phone, masked as the window masks it.
    onLoginSucceeded: phone => {
        part.forget()
        part.closed()
        part.session.toast("登录成功，欢迎回来，" + Session.maskUserName(phone))
    }
    onRegistrationSucceeded: {
        part.forget()
        part.closed()
        part.session.toast("注册成功，已自动登录并赠送 3 天 VIP 体验")
    }
    onPasswordReset: part.session.toast("密码修改成功，请使用新密码登录")

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
