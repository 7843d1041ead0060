pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// Sign-in by SMS code or by password. The view only collects input; the dialog validates and sends.
Item {
    id: view

    required property ThemeColors theme
    property bool passwordMode: false
    property alias agree: agreeBox.checked
    property alias autoLogin: autoLoginBox.checked
    property alias phoneText: phoneField.text
    property alias codeText: codeField.text
    property alias passwordText: passwordField.text

    signal submit(bool byPassword, string phone, string code, string password, bool agreed)
    signal sendCodeRequested(string phone)
    signal registerRequested(string phone)
    signal forgotRequested(string phone)
    signal passwordModeSelected(bool byPassword)
    signal autoLoginToggled(bool enabled)

    function startCodeCooldown() {
        codeField.startCooldown(60)
    }

    function submitForm() {
        submit(passwordMode, phoneText, codeText, passwordText, agree)
    }

    function focusFirstField() {
        phoneField.focusInput()
    }

    function selectMode(byPassword) {
        passwordMode = byPassword
        passwordModeSelected(byPassword)
    }

    Keys.onReturnPressed: submitForm()
    Keys.onEnterPressed: submitForm()

    Column {
        width: parent.width
        spacing: 16

        Rectangle {
            id: modes

            width: parent.width
            height: 36
            radius: 10
            color: view.theme.fieldFill
            border.width: 1
            border.color: view.theme.ink4

            Rectangle {
                x: 3 + (view.passwordMode ? (modes.width - 6) / 2 : 0)
                y: 3
                width: (modes.width - 6) / 2
                height: modes.height - 6
                radius: 8
                color: Qt.alpha(view.theme.primary, view.theme.lightMode ? 0.2 : 0.26)
                border.width: 1
                border.color: Qt.alpha(view.theme.primary, 0.55)

                Behavior on x {
                    NumberAnimation { duration: 160; easing.type: Easing.OutCubic }
                }
            }

            Row {
                anchors.fill: parent
                anchors.margins: 3

                Repeater {
                    model: ["验证码登录", "密码登录"]

                    Item {
                        id: segment

                        required property string modelData
                        required property int index
                        readonly property bool selected: view.passwordMode === (index === 1)

                        objectName: index === 1 ? "passwordModeTab" : "smsModeTab"
                        width: (modes.width - 6) / 2
                        height: modes.height - 6
                        activeFocusOnTab: true
                        Accessible.role: Accessible.PageTab
                        Accessible.name: modelData
                        Accessible.selected: selected
                        Accessible.onPressAction: view.selectMode(index === 1)
                        Keys.onReturnPressed: view.selectMode(index === 1)
                        Keys.onEnterPressed: view.selectMode(index === 1)
                        Keys.onSpacePressed: view.selectMode(index === 1)

                        Text {
                            anchors.centerIn: parent
                            textFormat: Text.PlainText
                            text: segment.modelData
                            color: segment.selected ? view.theme.ink : view.theme.ink3
                            font.family: Fonts.ui()
                            font.pixelSize: 13
                            font.bold: segment.selected
                            font.underline: segment.activeFocus
                        }

                        MouseArea {
                            anchors.fill: parent
                            cursorShape: Qt.PointingHandCursor
                            onClicked: view.selectMode(segment.index === 1)
                        }
                    }
                }
            }
        }

        AuthField {
            id: phoneField

            objectName: "phoneField"
            width: parent.width
            theme: view.theme
            iconName: "phone"
            placeholderText: "请输入手机号"
            maximumLength: 11
        }

        AuthField {
            id: codeField

            objectName: "codeField"
            width: parent.width
            visible: !view.passwordMode
            theme: view.theme
            iconName: "shield"
            placeholderText: "验证码"
            actionVisible: true
            onActionClicked: view.sendCodeRequested(view.phoneText)
        }

        AuthField {
            id: passwordField

            objectName: "passwordField"
            width: parent.width
            visible: view.passwordMode
            theme: view.theme
            iconName: "lock"
            placeholderText: "密码（6-20 位）"
            maximumLength: 20
            echoMode: TextInput.Password
        }

        Item {
            width: parent.width
            height: 10
            visible: view.passwordMode

            AuthLink {
                objectName: "forgotLink"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                theme: view.theme
                action: "忘记密码？"
                onActivated: view.forgotRequested(view.phoneText)
            }
        }

        Item {
            width: parent.width
            height: 18

            AuthCheckBox {
                id: agreeBox

                objectName: "agreeBox"
                anchors.verticalCenter: parent.verticalCenter
                theme: view.theme
                text: "我已阅读并同意《用户协议》与《隐私政策》"
            }

            AuthCheckBox {
                id: autoLoginBox

                objectName: "autoLoginBox"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                theme: view.theme
                checked: true
                text: "自动登录"
                onToggled: enabled => view.autoLoginToggled(enabled)
            }
        }

        AuthButton {
            objectName: "submitButton"
            width: parent.width
            theme: view.theme
            text: "登 录"
            // Not "登录": the window's own sign-in button is called that.
            accessibleName: "确认登录"
            onActivated: view.submitForm()
        }

        AuthLink {
            objectName: "registerLink"
            anchors.horizontalCenter: parent.horizontalCenter
            theme: view.theme
            lead: "没有账号？"
            action: "立即注册"
            onActivated: view.registerRequested(view.phoneText)
        }
    }
}
