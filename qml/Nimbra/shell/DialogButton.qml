import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A button of the dialogs and the account menu: a tinted text button, or with no text a square icon
// button named by accessibleName.
Rectangle {
    id: button

    required property var theme
    property string text: ""
    property string iconName: ""
    property string accessibleName: text
    property color tint: theme.primary

    readonly property bool iconOnly: text === ""

    signal activated()

    implicitWidth: iconOnly ? 32 : label.implicitWidth + 28
    implicitHeight: iconOnly ? 32 : 30
    radius: 10
    color: iconOnly ? (area.containsMouse ? Qt.alpha(theme.ink, 0.08) : "transparent")
                    : Qt.alpha(tint, area.pressed ? 0.24 : (area.containsMouse ? 0.16 : 0.08))
    border.width: iconOnly && !activeFocus ? 0 : 1
    border.color: activeFocus ? theme.primary : Qt.alpha(tint, 0.35)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    Keys.onSpacePressed: activated()

    Icon {
        visible: button.iconOnly
        anchors.centerIn: parent
        width: 16
        height: 16
        name: button.iconName
        color: area.containsMouse ? button.theme.ink : button.theme.ink2
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
        lightMode: button.theme.lightMode === true
        cornerRadius: 13
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activated()
    }
}
