import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// A button of the dialogs and the account menu: a tinted text button, or with no text a square icon
// button named by accessibleName.
T.AbstractButton {
    id: button

    required property ThemeColors theme
    property string iconName: ""
    property string accessibleName: text
    property color tint: theme.primary

    readonly property bool iconOnly: text === ""

    signal activated()

    implicitWidth: iconOnly ? 32 : label.implicitWidth + 28
    implicitHeight: iconOnly ? 32 : 30
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: accessibleName
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    onClicked: activated()

    background: Rectangle {
        radius: 10
        color: button.iconOnly ? (button.hovered ? Qt.alpha(button.theme.ink, 0.08) : "transparent")
                               : Qt.alpha(button.tint, button.pressed ? 0.24 : (button.hovered ? 0.16 : 0.08))
        border.width: button.iconOnly && !button.activeFocus ? 0 : 1
        border.color: button.activeFocus ? button.theme.primary : Qt.alpha(button.tint, 0.35)
    }

    Icon {
        visible: button.iconOnly
        anchors.centerIn: parent
        width: 16
        height: 16
        name: button.iconName
        color: button.hovered ? button.theme.ink : button.theme.ink2
    }

    Text {
        id: label

        visible: !button.iconOnly
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: Theme.text(button.tint)
        font.family: Fonts.ui()
        font.pixelSize: 13
        font.bold: true
    }

    FocusRing {
        lightMode: button.theme.lightMode
        cornerRadius: 13
    }

    HoverHandler {
        cursorShape: Qt.PointingHandCursor
    }
}
