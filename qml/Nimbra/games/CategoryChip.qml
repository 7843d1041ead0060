import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// One category filter of the library; the row it sits in gives it the keyboard focus.
Rectangle {
    id: chip

    required property var modelData

    property bool lightMode: false
    property color ink2: Theme.ink2(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property string selectedCategory: "全部"

    readonly property string category: String(modelData)
    readonly property bool selected: category === selectedCategory

    signal activated(string category)

    width: Logic.chipWidth(category)
    height: 30
    radius: 15
    color: selected ? primary : (area.containsMouse ? Qt.alpha(primary, 0.12) : "transparent")
    border.width: selected ? 0 : 1
    border.color: activeFocus ? primary : ink4
    Accessible.role: Accessible.Button
    Accessible.name: category
    Accessible.checkable: true
    Accessible.checked: selected
    Accessible.onPressAction: activated(category)
    Keys.onReturnPressed: activated(category)
    Keys.onEnterPressed: activated(category)
    Keys.onSpacePressed: activated(category)

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: chip.category
        color: chip.selected ? "#ffffff" : chip.ink2
        font.family: Fonts.ui()
        font.pixelSize: 13
        font.bold: chip.selected
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: chip.activated(chip.category)
    }

    // Inside: the chip row clips its chips.
    FocusRing {
        inset: 0
        cornerRadius: 15
        lightMode: chip.lightMode
    }
}
