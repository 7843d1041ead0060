import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// Asked when another game is clicked while one is accelerated: switching stops the acceleration and
// starts it again on the new game. Enter switches, Esc keeps the game accelerated.
FocusScope {
    id: dialog

    property string fromName: ""
    property string toName: ""
    property bool lightMode: false
    readonly property ThemeColors colors: ThemeColors { lightMode: dialog.lightMode }

    signal confirmed()
    signal cancelled()

    width: 420
    height: 210
    Accessible.role: Accessible.Dialog
    Accessible.name: "切换加速游戏"
    Accessible.description: message.text
    Keys.onEscapePressed: cancelled()
    Keys.onReturnPressed: confirmed()
    Keys.onEnterPressed: confirmed()
    // The switch is the answer on offer: the keyboard starts on it.
    onVisibleChanged: {
        if (visible)
            switchButton.forceActiveFocus(Qt.TabFocusReason)
    }
    Component.onCompleted: switchButton.forceActiveFocus(Qt.TabFocusReason)

    PopupCard {
        anchors.fill: parent
        theme: dialog.colors
    }

    DialogHeader {
        id: header

        width: parent.width
        theme: dialog.colors
        title: "切换加速游戏？"
        subtitle: "正在加速 " + dialog.fromName
        onCloseRequested: dialog.cancelled()
    }

    Text {
        id: message

        objectName: "switchMessage"
        x: 24
        anchors.top: header.bottom
        width: parent.width - 48
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        text: "将停止当前加速，切换到「" + dialog.toName + "」，线路和配置就绪后自动开始加速。"
        color: dialog.colors.ink2
        font.family: Fonts.ui()
        font.pixelSize: 14
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 24
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        spacing: 10

        DialogButton {
            objectName: "switchCancel"
            theme: dialog.colors
            tint: dialog.colors.ink2
            text: "继续加速当前游戏"
            onActivated: dialog.cancelled()
        }

        DialogButton {
            id: switchButton

            objectName: "switchConfirm"
            theme: dialog.colors
            text: "切换并加速"
            onActivated: dialog.confirmed()
        }
    }
}
