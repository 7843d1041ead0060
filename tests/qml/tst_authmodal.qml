import QtQuick
import QtTest
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"

Item {
    id: root

    width: 600
    height: 600

    readonly property string phone: "13800138000"

    // Something behind the mask that Tab must not reach while the dialog is open.
    Rectangle {
        id: pageControl

        width: 10
        height: 10
        activeFocusOnTab: true
    }

    // Stands in for the account client: the same invokables and signals, recording every call.
    QtObject {
        id: fakeApi

        property bool autoLoginEnabled: true
        property var calls: []

        signal codeSent(string scene)
        signal authenticated(string operation, string phone, int userId, int points, int vipNum)
        signal passwordResetSucceeded(string phone)
        signal requestFailed(string operation, string message)

        function record(name, args) {
            calls = calls.concat([[name].concat(Array.from(args))])
        }
        function sendCode(phone, scene) { record("sendCode", arguments) }
        function sendResetCode(phone) { record("sendResetCode", arguments) }
        function verifySms(phone, code, rememberMe) { record("verifySms", arguments) }
        function loginPassword(phone, password, rememberMe) { record("loginPassword", arguments) }
        function registerAccount(phone, code, password, confirm, verifyCode) { record("registerAccount", arguments) }
        function resetPassword(phone, code, password, confirm) { record("resetPassword", arguments) }
        function abandonSignIn() { record("abandonSignIn", arguments) }
        function setAutoLoginEnabled(enabled) {
            record("setAutoLoginEnabled", arguments)
            autoLoginEnabled = enabled
        }
    }

    // As the window shows it: in a pop-up.
    Component {
        id: modalComponent

        Item {
            id: host

            property var api: null
            property bool open: true
            readonly property AuthModal modal: modal

            anchors.fill: parent

            DialogPopup {
                wanted: host.open

                AuthModal {
                    id: modal

                    api: host.api
                }
            }
        }
    }

    SignalSpy { id: toastSpy; signalName: "toastRequested" }
    SignalSpy { id: loginSpy; signalName: "loginSucceeded" }
    SignalSpy { id: registrationSpy; signalName: "registrationSucceeded" }
    SignalSpy { id: resetSpy; signalName: "passwordReset" }
    SignalSpy { id: closedSpy; signalName: "closed" }

    TestCase {
        property Item modalHost: null

        name: "AuthModal"
        when: windowShown

        function createModal(withApi) {
            fakeApi.calls = []
            fakeApi.autoLoginEnabled = true
            modalHost = createTemporaryObject(modalComponent, root, withApi === false ? {} : { api: fakeApi })
            verify(modalHost)
            const modal = modalHost.modal
            for (const spy of [toastSpy, loginSpy, registrationSpy, resetSpy, closedSpy]) {
                spy.clear()
                spy.target = modal
            }
            return modal
        }

        function child(item, name) {
            const found = findChild(item, name)
            verify(found, name)
            return found
        }

        function typeText(text) {
            for (const ch of text)
                keyClick(ch)
        }

        function lastToast() {
            return toastSpy.count > 0 ? Array.from(toastSpy.signalArguments[toastSpy.count - 1]) : []
        }

        function test_validationOrder_data() {
            const p = root.phone
            const noService = "登录服务尚未初始化"
            return [
                { tag: "sms login, phone", call: "submitLogin", args: [false, "1380013800", "", "", false], message: "请输入正确的 11 位手机号" },
                { tag: "password login, short", call: "submitLogin", args: [true, p, "", "12345", false], message: "请输入至少 6 位密码" },
                { tag: "sms login, code", call: "submitLogin", args: [false, p, "", "", false], message: "请输入短信验证码" },
                { tag: "sms login, agreement", call: "submitLogin", args: [false, p, "1234", "", false], message: "请先阅读并同意用户协议与隐私政策" },
                { tag: "sms login, no service", call: "submitLogin", args: [false, p, "1234", "", true], noApi: true, message: noService },
                { tag: "register, phone", call: "submitRegistration", args: ["", "", "", "", false], message: "请输入正确的 11 位手机号" },
                { tag: "register, code", call: "submitRegistration", args: [p, "", "", "", false], message: "请输入短信验证码" },
                { tag: "register, space", call: "submitRegistration", args: [p, "1", "abc de", "abc de", true], message: "密码需 6-20 位，且不能包含空格" },
                { tag: "register, mismatch", call: "submitRegistration", args: [p, "1", "abcdef", "abcdeg", true], message: "两次输入的密码不一致" },
                { tag: "register, agreement", call: "submitRegistration", args: [p, "1", "abcdef", "abcdef", false], message: "请先阅读并同意用户协议与隐私政策" },
                { tag: "register, no service", call: "submitRegistration", args: [p, "1", "abcdef", "abcdef", true], noApi: true, message: noService },
                { tag: "reset, phone", call: "submitForgotPassword", args: ["12800138000", "", "", ""], message: "请输入正确的 11 位手机号" },
                { tag: "reset, code", call: "submitForgotPassword", args: [p, " ", "", ""], message: "请输入重置密码验证码" },
                { tag: "reset, password", call: "submitForgotPassword", args: [p, "1", "a".repeat(73), ""], message: "新密码需 6-72 位，且不能包含空格" },
                { tag: "reset, mismatch", call: "submitForgotPassword", args: [p, "1", "abcdef", "abcdefg"], message: "两次输入的密码不一致" },
                { tag: "reset, no service", call: "submitForgotPassword", args: [p, "1", "abcdef", "abcdef"], noApi: true, message: noService },
                { tag: "code, phone", call: "sendCode", args: ["12800138000", "login"], message: "请输入正确的 11 位大陆手机号（13-19 开头）" },
                { tag: "code, no service", call: "sendCode", args: [p, "login"], noApi: true, message: noService },
                { tag: "reset code, phone", call: "sendResetCode", args: ["138"], message: "请输入正确的 11 位大陆手机号（13-19 开头）" }
            ]
        }

        // Bad input is stopped with one warning and sends nothing.
        function test_validationOrder(data) {
            const modal = createModal(!data.noApi)
            modal[data.call].apply(modal, data.args)
            compare(toastSpy.count, 1)
            compare(lastToast(), [data.message, true])
            compare(fakeApi.calls.length, 0)
            verify(!modal.requestPending)
            compare(modal.pendingCodeScene, "")
        }

        function test_requests_data() {
            const p = root.phone
            return [
                { tag: "sms login", call: "submitLogin", args: [false, " " + p, " 1234 ", "", true], label: "login_sms",
                  sent: ["verifySms", p, " 1234 ", true] },
                { tag: "password login", call: "submitLogin", args: [true, p, "", "secret", true], label: "login_password",
                  sent: ["loginPassword", p, "secret", true] },
                { tag: "registration", call: "submitRegistration", args: [p, "1234", "abcdef", "abcdef", true], label: "register",
                  sent: ["registerAccount", p, "1234", "abcdef", "abcdef", ""] },
                { tag: "reset", call: "submitForgotPassword", args: [p, "1234", "abcdef", "abcdef"],
                  label: "reset_password", sent: ["resetPassword", p, "1234", "abcdef", "abcdef"] }
            ]
        }

        // One request at a time; a failure for another operation leaves it pending, its own clears it.
        function test_requests(data) {
            const modal = createModal()
            modal[data.call].apply(modal, data.args)
            modal[data.call].apply(modal, data.args)
            compare(fakeApi.calls, [data.sent])
            verify(modal.requestPending)
            compare(modal.pendingOperation, data.label)
            fakeApi.requestFailed("refresh", "登录状态已失效，请重新登录")
            verify(modal.requestPending)
            compare(toastSpy.count, 0)
            fakeApi.requestFailed(data.label, "手机号或密码错误")
            verify(!modal.requestPending)
            compare(modal.pendingOperation, "")
            compare(lastToast(), ["手机号或密码错误", true])
        }

        function test_oneCodeRequestPerScene() {
            const modal = createModal()
            modal.sendCode(root.phone, "login")
            modal.sendCode(root.phone, "login")
            compare(fakeApi.calls, [["sendCode", root.phone, "login"]])
            compare(modal.pendingCodeScene, "login")
            // A failure clears the block and shows the server's message; the next click sends again.
            fakeApi.requestFailed("send_code", "操作过于频繁，请稍后再试")
            compare(modal.pendingCodeScene, "")
            compare(lastToast(), ["操作过于频繁，请稍后再试", true])
            modal.sendCode(root.phone, "login")
            modal.sendResetCode(root.phone)
            modal.sendResetCode(root.phone)
            compare(fakeApi.calls.length, 3)
            compare(fakeApi.calls[2], ["sendResetCode", root.phone])
            fakeApi.codeSent("reset")
            compare(modal.pendingCodeScene, "")
            compare(lastToast(), ["验证码已发送", false])
            compare(child(child(modal, "forgotView"), "codeField").cooldownSeconds, 60)
            compare(child(child(modal, "loginView"), "codeField").cooldownSeconds, 0)
        }

        // Driven by the keyboard as a user would: type, Tab to the next field, Enter submits.
        function test_keyboardSignIn() {
            const modal = createModal()
            const login = child(modal, "loginView")
            tryVerify(() => child(login, "phoneField").inputFocus)
            typeText(root.phone)
            keyClick(Qt.Key_Tab)
            verify(child(login, "codeField").inputFocus)
            typeText("4321")
            keyClick(Qt.Key_Return)
            compare(lastToast(), ["请先阅读并同意用户协议与隐私政策", true])
            mouseClick(child(login, "agreeBox"))
            child(login, "codeField").focusInput()
            keyClick(Qt.Key_Enter)
            compare(fakeApi.calls, [["verifySms", root.phone, "4321", true]])
        }

        function test_tabRound_data() {
            return [
                { tag: "sms login, Shift+Tab", view: "login", back: [Qt.Key_Tab, Qt.ShiftModifier] },
                { tag: "password login, Backtab", view: "password", back: [Qt.Key_Backtab, Qt.ShiftModifier] },
                { tag: "register, Shift+Tab", view: "register", back: [Qt.Key_Tab, Qt.ShiftModifier] },
                { tag: "forgot, Shift+Tab", view: "forgot", back: [Qt.Key_Tab, Qt.ShiftModifier] }
            ]
        }

        // From a field, Tab goes round the shown view's fields, buttons and links and the close button,
        // and Shift+Tab the same round backwards; neither reaches the page behind the dialog.
        function test_tabRound(data) {
            const modal = createModal()
            modal.setLoginMode(data.view === "password")
            modal.registerMode = data.view === "register"
            modal.forgotMode = data.view === "forgot"
            const view = child(modal, data.view === "password" ? "loginView" : data.view + "View")
            tryVerify(() => child(view, "phoneField").inputFocus)
            const focused = () => root.Window.activeFocusItem
            const start = focused()
            const round = []
            do {
                keyClick(Qt.Key_Tab)
                verify(modal.holds(focused()) && focused().visible, "Tab reached " + focused())
                round.push(focused())
            } while (focused() !== start && round.length < 40)
            compare(focused(), start)
            verify(round.indexOf(child(modal, "closeButton")) >= 0, "the close button is in the round")
            for (let i = round.length - 2; i >= -1; --i) {
                keyClick(data.back[0], data.back[1])
                compare(focused(), i >= 0 ? round[i] : start)
            }
        }

        // Esc asks to hide the dialog; hidden, it gives the page's control the keyboard back.
        function test_escapeReturnsFocus() {
            pageControl.forceActiveFocus()
            const modal = createModal()
            tryVerify(() => child(child(modal, "loginView"), "phoneField").inputFocus)
            keyClick(Qt.Key_Escape)
            compare(closedSpy.count, 1)
            modalHost.open = false
            tryVerify(() => pageControl.activeFocus)
        }

        // Matching is by operation label: the answer completes the dialog after a view switch, and the
        // silent start-up refresh changes nothing.
        function test_answerMatching() {
            const modal = createModal()
            const login = child(modal, "loginView")
            login.agree = true
            login.phoneText = root.phone
            login.codeText = "1234"
            mouseClick(child(login, "submitButton"))
            mouseClick(child(login, "registerLink"))
            compare(modal.currentView, "register")
            compare(child(modal, "registerView").phoneText, root.phone)
            fakeApi.authenticated("refresh", root.phone, 7, 1, 2)
            verify(modal.requestPending)
            compare(loginSpy.count, 0)
            fakeApi.authenticated("login_sms", root.phone, 7, 30, 2)
            compare(loginSpy.count, 1)
            compare(Array.from(loginSpy.signalArguments[0]), [root.phone, 7, 30, 2])
            verify(!modal.requestPending)
            compare(modal.currentView, "register")
            // Nothing pending: a late or foreign answer is ignored.
            fakeApi.authenticated("login_sms", root.phone, 7, 30, 2)
            compare(loginSpy.count, 1)
            compare(registrationSpy.count, 0)
        }

        function test_registration() {
            const modal = createModal()
            modal.registerMode = true
            modal.submitRegistration(root.phone, "1234", "abcdef", "abcdef", true)
            fakeApi.authenticated("register", root.phone, 9, 0, 1)
            compare(registrationSpy.count, 1)
            compare(loginSpy.count, 0)
        }

        function test_forgotAndReset() {
            const modal = createModal()
            const login = child(modal, "loginView")
            mouseClick(child(login, "passwordModeTab"))
            verify(modal.loginByPassword)
            compare(modal.height, 438)
            login.phoneText = root.phone
            login.passwordText = "forgotten"
            mouseClick(child(login, "forgotLink"))
            compare(modal.currentView, "forgot")
            compare(modal.height, 430)
            const forgot = child(modal, "forgotView")
            compare(forgot.phoneText, root.phone)
            // An answer for another operation does not count as the reset.
            fakeApi.passwordResetSucceeded(root.phone)
            compare(resetSpy.count, 0)
            modal.submitForgotPassword(root.phone, "1234", "newpass", "newpass")
            fakeApi.passwordResetSucceeded(root.phone)
            compare(resetSpy.count, 1)
            compare(modal.currentView, "login")
            verify(login.passwordMode && modal.loginByPassword)
            compare(login.passwordText, "")
            compare(login.phoneText, root.phone)
            verify(!modal.requestPending)
        }

        function test_cooldownLastTicks() {
            const modal = createModal()
            const login = child(modal, "loginView")
            const field = child(login, "codeField")
            const button = child(field, "actionButton")
            login.phoneText = root.phone
            mouseClick(button)
            fakeApi.codeSent("login")
            compare(field.cooldownSeconds, 60)
            compare(button.Accessible.name, "获取验证码（60 秒后可重新获取）")
            compare(button.opacity, 0.55)
            mouseClick(button)
            compare(fakeApi.calls.length, 1)
            field.startCooldown(2)
            tryCompare(field, "cooldownSeconds", 1, 5000)
            tryCompare(field, "cooldownSeconds", 0, 5000)
            compare(button.Accessible.name, "获取验证码")
            mouseClick(button)
            compare(fakeApi.calls.length, 2)
        }

        function test_autoLogin() {
            const modal = createModal()
            const box = child(child(modal, "loginView"), "autoLoginBox")
            verify(box.checked)
            mouseClick(box)
            verify(!box.checked)
            compare(fakeApi.calls, [["setAutoLoginEnabled", false]])
            fakeApi.autoLoginEnabled = true
            verify(box.checked)
        }

        // The dialog's colours reach the fields of its views: a theme switch recolours them and a colour
        // the host sets wins over the theme's.
        function test_theme_data() {
            return [
                { tag: "dark", light: false, fill: "#0de6eefa" },
                { tag: "light", light: true, fill: "#28ffffff" }
            ]
        }

        function test_theme(data) {
            const modal = createModal()
            const field = child(child(modal, "loginView"), "phoneField")
            modal.lightMode = !data.light
            modal.lightMode = data.light
            verify(Qt.colorEqual(field.color, data.fill), String(field.color))
            modal.colors.fieldFill = "#123456"
            verify(Qt.colorEqual(field.color, "#123456"), String(field.color))
        }

        // Esc and the mask only hide the dialog; the close button also resets it.
        function test_resetOnlyByCloseButton() {
            const modal = createModal()
            const login = child(modal, "loginView")
            login.agree = true
            login.phoneText = root.phone
            login.codeText = "1234"
            modal.submitLogin(false, root.phone, "1234", "", true)
            mouseClick(child(login, "registerLink"))
            child(modal, "registerView").agree = true
            modal.sendCode(root.phone, "register")
            modal.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            compare(closedSpy.count, 1)
            verify(modal.registerMode && modal.requestPending)
            compare(modal.pendingCodeScene, "register")
            compare(fakeApi.calls.filter(call => call[0] === "abandonSignIn").length, 0)
            mouseClick(child(modal, "closeButton"))
            compare(fakeApi.calls[fakeApi.calls.length - 1], ["abandonSignIn"])
            compare(closedSpy.count, 2)
            verify(!modal.registerMode && !modal.forgotMode && !modal.loginByPassword && !modal.requestPending)
            compare(modal.pendingOperation, "")
            compare(modal.pendingCodeScene, "")
            verify(!login.agree && !child(modal, "registerView").agree && login.autoLogin)
            compare(login.codeText, "")
            compare(modal.height, 420)
        }
    }
}
