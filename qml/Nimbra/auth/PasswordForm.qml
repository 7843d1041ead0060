import QtQuick
import Nimbra

// The form shared by registration and password reset: phone, SMS code, a new password typed twice,
// an optional agreement, the submit button and the way back to the login view.
Item {
    id: form

    required property ThemeColors theme
    property string phonePlaceholder: "请输入手机号"
    property string passwordPlaceholder: ""
    property string confirmPlaceholder: ""
    property int passwordLength: 20
    property bool agreementVisible: true
    property string submitText: ""
    property string backLead: ""
    property string backAction: "返回登录"
    property alias agree: agreeBox.checked
    property alias phoneText: phoneField.text
    property alias codeText: codeField.text
    property alias passwordText: passwordField.text
    property alias confirmText: confirmField.text

    signal submitted()
    signal sendCodeRequested(string phone)
    signal backToLogin()

    function startCodeCooldown() {
        codeField.startCooldown(60)
    }

    function focusFirstField() {
        phoneField.focusInput()
    }

    Keys.onReturnPressed: submitted()
    Keys.onEnterPressed: submitted()

    Column {
        width: parent.width
        spacing: 12

        AuthField {
            id: phoneField

            objectName: "phoneField"
            width: parent.width
            theme: form.theme
            iconName: "phone"
            placeholderText: form.phonePlaceholder
            maximumLength: 11
        }

        AuthField {
            id: codeField

            objectName: "codeField"
            width: parent.width
            theme: form.theme
            iconName: "shield"
            placeholderText: "验证码"
            actionVisible: true
            onActionClicked: form.sendCodeRequested(form.phoneText)
        }

        AuthField {
            id: passwordField

            objectName: "passwordField"
            width: parent.width
            echoMode: TextInput.Password
            maximumLength: form.passwordLength
            theme: form.theme
            iconName: "lock"
            placeholderText: form.passwordPlaceholder
        }

        AuthField {
            id: confirmField

            objectName: "confirmField"
            width: parent.width
            echoMode: TextInput.Password
            maximumLength: form.passwordLength
            iconName: "lock"
            placeholderText: form.confirmPlaceholder
            theme: form.theme
        }

        AuthCheckBox {
            id: agreeBox

            objectName: "agreeBox"
            visible: form.agreementVisible
            theme: form.theme
            text: "我已阅读并同意《用户协议》与《隐私政策》"
        }

        AuthButton {
            objectName: "submitButton"
            width: parent.width
            theme: form.theme
            text: form.submitText
            onActivated: form.submitted()
        }

        AuthLink {
            objectName: "backLink"
            anchors.horizontalCenter: parent.horizontalCenter
            theme: form.theme
            lead: form.backLead
            action: form.backAction
            onActivated: form.backToLogin()
        }
    }
}
