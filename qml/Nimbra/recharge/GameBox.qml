pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// The game of a group seat: a box with the chosen game that opens the list of games under it.
Column {
    id: box

    required property ThemedScope theme
    // {value, text} per game.
    property var options: []
    property string current: ""
    property bool open: false

    readonly property var chosenOption: options.find(option => String(option.value) === current) || null
    readonly property var rows: options.map(option => ({ title: String(option.text), detail: "",
                                                         value: String(option.value) }))

    signal chosen(string value)

    spacing: 6

    Rectangle {
        width: Math.min(box.width, 360)
        height: 38
        radius: 12
        color: Qt.alpha(box.theme.ink, 0.05)
        border.width: area.activeFocus ? 2 : 1
        border.color: box.open || area.activeFocus ? box.theme.primary : box.theme.ink4

        Text {
            x: 14
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - 48
            elide: Text.ElideRight
            textFormat: Text.PlainText
            text: box.chosenOption ? String(box.chosenOption.text) : "请选择游戏"
            color: box.chosenOption ? box.theme.ink : box.theme.ink3
            font.family: Fonts.ui()
            font.pixelSize: 13
            font.bold: box.chosenOption !== null
        }

        Icon {
            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            width: 14
            height: 14
            name: "chevron"
            color: box.theme.ink3
            rotation: box.open ? 180 : 0
        }

        ClickArea {
            id: area

            objectName: "gameBox"
            anchors.fill: parent
            label: box.chosenOption ? "加速游戏：" + box.chosenOption.text : "请选择游戏"
            role: Accessible.ComboBox
            onActivated: box.open = !box.open
            Keys.onEscapePressed: box.open = false
        }
    }

    PopupMenu {
        visible: box.open
        width: Math.min(box.width, 360)
        height: Math.min(220, box.rows.length * 33 + 12)
        lightMode: box.theme.lightMode
        accessibleName: "加速游戏"
        rows: box.rows
        current: box.chosenOption ? String(box.chosenOption.text) : ""
        onChosen: row => {
            box.open = false
            box.chosen(row.value)
        }
    }
}
