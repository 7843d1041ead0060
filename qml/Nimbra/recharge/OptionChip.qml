import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A choice among options (a line, a size, a region, a game, a section); dimmed and inert when the
// option cannot be chosen.
Rectangle {
    id: chip

    required property var theme
    property string text: ""
    property bool selected: false

    signal activated()

    implicitWidth: label.implicitWidth + 28
    implicitHeight: 32
    radius: 16
    opacity: enabled ? 1 : 0.4
    color: selected ? Qt.alpha(theme.primary, 0.18) : (area.containsMouse ? Qt.alpha(theme.ink, 0.06) : "transparent")
    border.width: 1
    border.color: selected || activeFocus ? theme.primary : theme.ink4
    activeFocusOnTab: enabled
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: selected
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    Keys.onSpacePressed: activated()

    Text {
        id: label

        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: chip.text
        color: Theme.text(chip.selected ? chip.theme.primary : chip.theme.ink2)
        font.family: Fonts.ui()
        font.pixelSize: 13
        font.bold: chip.selected
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: chip.activated()
    }
}
