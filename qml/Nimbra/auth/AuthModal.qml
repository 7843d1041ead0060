import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts
import "AuthValidation.js" as Validation

// The sign-in dialog: one card whose content is the login, registration or password-reset view. It
// validates input, calls the account client, matches its answers to the request in flight by
// operation label and reports outcomes through its own signals. Hiding it keeps the view and the
// phone number but drops codes and passwords; the close button resets it, forget() empties it.
FocusScope {
    id: modal

    property var api: null
    property bool lightMode: false
    // The dialog's colours, handed to its views; a host may override one of them.
    readonly property ThemeColors colors: ThemeColors { lightMode: modal.lightMode }
    property bool loginByPassword: false
    property bool registerMode: false
    property bool forgotMode: false
    property bool requestPending: false
    property string pendingOperation: ""
    property string pendingCodeScene: ""

    readonly property string currentView: registerMode ? "register" : forgotMode ? "forgot" : "login"
    readonly property string serviceMissing: "登录服务尚未初始化"

    signal loginSucceeded(string phone, int userId, int points, int vipNum)
    signal registrationSucceeded(string phone, int userId, int points, int vipNum)
    signal passwordReset(string phone)
    signal toastRequested(string message, bool warning)
    signal closed()

    function toast(message, warning) {
        toastRequested(message, warning)
    }

    function setLoginMode(byPassword) {
        loginByPassword = byPassword
        loginView.passwordMode = byPassword
    }

    function clearPending() {
        requestPending = false
        pendingOperation = ""
    }

    function reset() {
        // The answer to what was in flight is no longer awaited: it must not sign in behind a fresh
        // form, nor show its refusal there.
        if (api && requestPending)
            api.abandonSignIn()
        registerMode = false
        forgotMode = false
        clearPending()
        pendingCodeScene = ""
        setLoginMode(false)
        loginView.agree = false
        registerView.agree = false
        loginView.autoLogin = api ? api.autoLoginEnabled === true : true
        forgetSecrets()
    }

    // Codes and passwords do not outlive the dialog being shown; the phone numbers stay for the next
    // attempt.
    function forgetSecrets() {
        for (const view of [loginView, registerView, forgotView]) {
            view.codeText = ""
            view.passwordText = ""
        }
        registerView.confirmText = ""
        forgotView.confirmText = ""
    }

    // Signed in or out: nothing of the person who typed here stays for the next one.
    function forget() {
        reset()
        for (const view of [loginView, registerView, forgotView])
            view.phoneText = ""
    }

    function open() {
        reset()
    }

    function requestCode(phone, scene, send) {
        const error = Validation.codeRequestError(phone)
        if (error !== "")
            return toast(error, true)
        if (!api)
            return toast(serviceMissing, true)
        if (pendingCodeScene === scene)
            return
        pendingCodeScene = scene
        send(Validation.trimmed(phone))
    }

    function sendCode(phone, scene) {
        requestCode(phone, scene, trimmed => api.sendCode(trimmed, scene))
    }

    function sendResetCode(phone) {
        requestCode(phone, App.globalData.smsSceneReset, trimmed => api.sendResetCode(trimmed))
    }

    function startRequest(error, operation, send) {
        if (error !== "")
            return toast(error, true)
        if (!api)
            return toast(serviceMissing, true)
        if (requestPending)
            return
        requestPending = true
        pendingOperation = operation
        send()
    }

    function submitLogin(byPassword, phone, code, password, agreed) {
        const number = Validation.trimmed(phone)
        startRequest(Validation.loginError(byPassword, phone, code, password, agreed),
                     byPassword ? App.globalData.operationLoginPassword : App.globalData.operationLoginSms,
                     () => byPassword ? api.loginPassword(number, password, api.autoLoginEnabled)
                                      : api.verifySms(number, code, api.autoLoginEnabled))
    }

    function submitRegistration(phone, code, password, confirmation, agreed) {
        startRequest(Validation.registrationError(phone, code, password, confirmation, agreed),
                     App.globalData.operationRegister,
                     () => api.registerAccount(Validation.trimmed(phone), code, password, confirmation, ""))
    }

    function submitForgotPassword(phone, code, password, confirmation) {
        startRequest(Validation.resetError(phone, code, password, confirmation), App.globalData.operationResetPassword,
                     () => api.resetPassword(Validation.trimmed(phone), code, password, confirmation))
    }

    function focusFirstField() {
        if (!visible)
            return
        if (currentView === "register")
            registerView.focusFirstField()
        else if (currentView === "forgot")
            forgotView.focusFirstField()
        else
            loginView.focusFirstField()
    }

    function holds(item) {
        for (let it = item; it; it = it.parent) {
            if (it === modal)
                return true
        }
        return false
    }

    width: 400
    height: currentView === "register" ? 448 : currentView === "forgot" ? 430 : loginByPassword ? 438 : 420
    Accessible.role: Accessible.Dialog
    Accessible.name: title.text
    // Esc closes the dialog as a click on the mask does: hidden, not reset.
    Keys.onEscapePressed: closed()
    // Once the view's own visibility has followed. Hidden, it keeps no secret, and no field of it keeps
    // the keyboard: keys typed on the page would go into the invisible form and Enter would submit it.
    onVisibleChanged: {
        if (!visible) {
            forgetSecrets()
            const focused = Window.activeFocusItem
            if (focused && holds(focused)) {
                // Items keep the focus while hidden: it has to be taken away, down to the dialog itself.
                for (let item = focused; item && item !== modal; item = item.parent)
                    item.focus = false
                modal.focus = false
            }
        }
        focusTimer.restart()
    }
    onCurrentViewChanged: focusTimer.restart()

    Timer {
        id: focusTimer

        interval: 0
        onTriggered: modal.focusFirstField()
    }

    Connections {
        target: modal.api
        ignoreUnknownSignals: true

        function onCodeSent(scene) {
            modal.pendingCodeScene = ""
            if (scene === App.globalData.smsSceneRegister)
                registerView.startCodeCooldown()
            else if (scene === App.globalData.smsSceneReset)
                forgotView.startCodeCooldown()
            else
                loginView.startCodeCooldown()
            modal.toast("验证码已发送", false)
        }

        function onPasswordResetSucceeded(phone) {
            if (modal.pendingOperation !== App.globalData.operationResetPassword)
                return
            modal.clearPending()
            modal.registerMode = false
            modal.forgotMode = false
            modal.setLoginMode(true)
            loginView.phoneText = phone
            loginView.passwordText = ""
            modal.passwordReset(phone)
        }

        function onAutoLoginEnabledChanged() {
            loginView.autoLogin = modal.api.autoLoginEnabled === true
        }

        // Matching by label, not by view: an answer still completes the dialog after a view switch,
        // and the silent start-up refresh (nothing pending) leaves it alone.
        function onAuthenticated(operation, phone, userId, points, vipNum) {
            if (!modal.requestPending || operation !== modal.pendingOperation)
                return
            modal.clearPending()
            if (operation === App.globalData.operationRegister)
                modal.registrationSucceeded(phone, userId, points, vipNum)
            else
                modal.loginSucceeded(phone, userId, points, vipNum)
        }

        function onRequestFailed(operation, message) {
            if (operation === App.globalData.operationSendCode || operation === App.globalData.operationSendResetCode) {
                modal.pendingCodeScene = ""
            } else {
                if (!modal.requestPending || operation !== modal.pendingOperation)
                    return
                modal.clearPending()
            }
            modal.toast(message, true)
        }
    }

    GlassCard {
        anchors.fill: parent
        lightMode: modal.lightMode
        darkSurface: Theme.popupSurface(false)
        lightSurface: Theme.popupSurface(true)
    }

    // Clicks on empty parts of the card stay here instead of reaching the mask behind it.
    MouseArea {
        anchors.fill: parent
    }

    Text {
        id: title

        x: 24
        y: 26
        textFormat: Text.PlainText
        text: modal.currentView === "register" ? "注册Nimbra账号" : modal.currentView === "forgot" ? "修改密码"
                                                                                              : "欢迎使用Nimbra加速器"
        color: modal.colors.ink
        font.family: Fonts.ui()
        font.pixelSize: 21
        font.bold: true
    }

    Text {
        objectName: "subtitle"
        anchors.left: title.left
        anchors.top: title.bottom
        anchors.topMargin: 4
        textFormat: Text.PlainText
        text: modal.currentView === "register" ? "注册即送 3 天 VIP 加速体验"
                                               : modal.currentView === "forgot" ? "验证手机号后设置新密码" : "登录后即可开始加速"
        color: modal.colors.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    LoginView {
        id: loginView

        objectName: "loginView"
        x: 24
        y: 96
        width: parent.width - 48
        height: parent.height - y - 20
        visible: modal.currentView === "login"
        theme: modal.colors
        onSubmit: (byPassword, phone, code, password, agreed) => modal.submitLogin(byPassword, phone, code,
                                                                                    password, agreed)
        onSendCodeRequested: phone => modal.sendCode(phone, App.globalData.smsSceneLogin)
        onPasswordModeSelected: byPassword => modal.loginByPassword = byPassword
        onAutoLoginToggled: enabled => {
            if (modal.api)
                modal.api.setAutoLoginEnabled(enabled)
        }
        onRegisterRequested: phone => {
            registerView.phoneText = phone
            modal.registerMode = true
        }
        onForgotRequested: phone => {
            forgotView.phoneText = phone
            modal.forgotMode = true
        }
    }

    RegisterView {
        id: registerView

        objectName: "registerView"
        x: loginView.x
        y: loginView.y
        width: loginView.width
        height: parent.height - y - 20
        visible: modal.currentView === "register"
        theme: modal.colors
        onSubmit: (phone, code, password, confirmation, agreed) => modal.submitRegistration(phone, code, password,
                                                                                            confirmation, agreed)
        onSendCodeRequested: phone => modal.sendCode(phone, App.globalData.smsSceneRegister)
        onBackToLogin: modal.registerMode = false
    }

    ForgotPasswordView {
        id: forgotView

        objectName: "forgotView"
        x: loginView.x
        y: loginView.y
        width: loginView.width
        height: parent.height - y - 20
        visible: modal.currentView === "forgot"
        theme: modal.colors
        onSubmit: (phone, code, password, confirmation) => modal.submitForgotPassword(phone, code, password,
                                                                                       confirmation)
        onSendCodeRequested: phone => modal.sendResetCode(phone)
        onBackToLogin: {
            modal.forgotMode = false
            modal.setLoginMode(true)
        }
    }

    T.AbstractButton {
        id: closeButton

        function close() {
            modal.reset()
            modal.closed()
        }

        objectName: "closeButton"
        x: parent.width - width - 14
        y: 14
        width: 30
        height: 30
        focusPolicy: Qt.TabFocus
        hoverEnabled: true
        Accessible.name: "关闭"
        Keys.onReturnPressed: close()
        Keys.onEnterPressed: close()
        onClicked: close()

        background: Rectangle {
            radius: 10
            color: closeButton.hovered || closeButton.activeFocus ? Qt.alpha(modal.colors.ink, 0.1) : "transparent"
        }

        Icon {
            anchors.centerIn: parent
            width: 16
            height: 16
            name: "close"
            color: modal.colors.ink2
        }

        HoverHandler {
            cursorShape: Qt.PointingHandCursor
        }
    }
}
