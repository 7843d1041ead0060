import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// A choice among options (a line, a size, a region, a game, a section); dimmed and inert when the
// option cannot be chosen.
T.AbstractButton {
    id: chip

    required property ThemeColors theme
    property bool selected: false

    signal activated()

    implicitWidth: label.implicitWidth + 28
    implicitHeight: 32
    opacity: enabled ? 1 : 0.4
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: selected
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    onClicked: activated()

    background: Rectangle {
        radius: 16
        color: chip.selected ? Qt.alpha(chip.theme.primary, 0.18)
                             : (chip.hovered ? Qt.alpha(chip.theme.ink, 0.06) : "transparent")
        border.width: 1
        border.color: chip.selected || chip.activeFocus ? chip.theme.primary : chip.theme.ink4
    }

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

    HoverHandler {
        cursorShape: Qt.PointingHandCursor
    }
}
