import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A text field of the sign-in forms: an icon, the input with its placeholder and, for codes, the
// "获取验证码" button with its resend countdown.
Rectangle {
    id: field

    required property ThemeColors theme
    property alias text: input.text
    readonly property alias inputFocus: input.activeFocus
    property alias echoMode: input.echoMode
    property alias maximumLength: input.maximumLength
    property string placeholderText: ""
    property string iconName: ""
    property bool actionVisible: false
    property string actionText: "获取验证码"
    property int cooldownSeconds: 0

    signal actionClicked()

    function startCooldown(seconds) {
        const wait = Math.max(0, Math.floor(seconds === undefined ? 60 : Number(seconds) || 0))
        // The code is on its way: the keyboard goes where it is typed, not to the waiting button (and
        // first, since a focused item cannot leave the Tab chain).
        if (action.activeFocus && wait > 0)
            input.forceActiveFocus(Qt.OtherFocusReason)
        cooldownSeconds = wait
        cooldown.restart()
    }

    function focusInput() {
        input.forceActiveFocus(Qt.TabFocusReason)
    }

    function activateAction() {
        // The countdown guards the service's rate limit: no new code until it has run out.
        if (actionVisible && cooldownSeconds <= 0)
            actionClicked()
    }

    implicitHeight: 42
    radius: 12
    color: theme.fieldFill
    border.width: 1
    border.color: input.activeFocus ? theme.primary : theme.ink4

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.IBeamCursor
        onClicked: input.forceActiveFocus(Qt.MouseFocusReason)
    }

    Icon {
        id: glyph

        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        width: 17
        height: 17
        name: field.iconName
        color: input.activeFocus ? field.theme.primary : field.theme.ink3
    }

    TextInput {
        id: input

        objectName: "input"
        anchors.left: glyph.right
        anchors.leftMargin: 10
        anchors.right: action.visible ? action.left : parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        clip: true
        color: field.theme.ink
        selectionColor: field.theme.primary
        selectedTextColor: "#ffffff"
        passwordCharacter: "•"
        font.family: Fonts.ui()
        font.pixelSize: 14
        selectByMouse: true
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: field.placeholderText
        Accessible.passwordEdit: echoMode === TextInput.Password

        Text {
            anchors.fill: parent
            verticalAlignment: Text.AlignVCenter
            visible: input.text.length === 0
            textFormat: Text.PlainText
            text: field.placeholderText
            color: field.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 13
        }
    }

    Rectangle {
        id: action

        objectName: "actionButton"
        readonly property string label: field.cooldownSeconds > 0 ? field.cooldownSeconds + " 秒" : field.actionText

        anchors.right: parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        visible: field.actionVisible
        width: Math.max(92, actionLabel.implicitWidth + 24)
        height: parent.height - 12
        radius: 9
        color: Qt.alpha(field.theme.primary, actionArea.containsMouse && field.cooldownSeconds <= 0 ? 0.26 : 0.16)
        border.width: activeFocus ? 1 : 0
        border.color: field.theme.primary
        opacity: field.cooldownSeconds > 0 ? 0.55 : 1
        // Waiting, it is no Tab stop: it could do nothing.
        activeFocusOnTab: visible && field.cooldownSeconds <= 0
        Accessible.role: Accessible.Button
        Accessible.name: field.cooldownSeconds > 0 ? field.actionText + "（" + field.cooldownSeconds + " 秒后可重新获取）"
                                                   : field.actionText
        Accessible.onPressAction: field.activateAction()
        Keys.onReturnPressed: field.activateAction()
        Keys.onEnterPressed: field.activateAction()
        Keys.onSpacePressed: field.activateAction()

        Text {
            id: actionLabel

            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: action.label
            color: Theme.text(field.theme.primary)
            font.family: Fonts.ui()
            font.pixelSize: 13
            font.bold: true
        }

        MouseArea {
            id: actionArea

            anchors.fill: parent
            hoverEnabled: true
            cursorShape: field.cooldownSeconds > 0 ? Qt.ArrowCursor : Qt.PointingHandCursor
            onClicked: field.activateAction()
        }
    }

    Timer {
        id: cooldown

        interval: 1000
        repeat: true
        onTriggered: {
            if (field.cooldownSeconds <= 1) {
                field.cooldownSeconds = 0
                stop()
            } else {
                field.cooldownSeconds -= 1
            }
        }
    }
}
