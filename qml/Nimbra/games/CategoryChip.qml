import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// One category filter of the library; the row it sits in gives it the keyboard focus.
T.AbstractButton {
    id: chip

    required property var modelData

    required property ThemeColors theme
    property string selectedCategory: "全部"

    readonly property string category: String(modelData)
    readonly property bool selected: category === selectedCategory

    signal activated(string category)

    width: Logic.chipWidth(category)
    height: 30
    text: category
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    Accessible.name: category
    Accessible.checkable: true
    Accessible.checked: selected
    Accessible.onPressAction: activated(category)
    Keys.onReturnPressed: activated(category)
    Keys.onEnterPressed: activated(category)
    onClicked: activated(category)

    background: Rectangle {
        radius: 15
        color: chip.selected ? chip.theme.primary : (chip.hovered ? Qt.alpha(chip.theme.primary, 0.12) : "transparent")
        border.width: chip.selected ? 0 : 1
        border.color: chip.activeFocus ? chip.theme.primary : chip.theme.ink4
    }

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: chip.category
        color: chip.selected ? "#ffffff" : chip.theme.ink2
        font.family: Fonts.ui()
        font.pixelSize: 13
        font.bold: chip.selected
    }

    HoverHandler {
        cursorShape: Qt.PointingHandCursor
    }

    // Inside: the chip row clips its chips.
    FocusRing {
        inset: 0
        cornerRadius: 15
        lightMode: chip.theme.lightMode
    }
}
