pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// A row of equal tiles of which one is chosen (the purchase modes, the group-buy methods): each a
// title with a line under it, framed in the primary colour when chosen.
Row {
    id: row

    required property ThemedScope theme
    // {key, title, subtitle} per tile.
    property var choices: []
    property string current: ""
    property int tileHeight: 60

    signal chosen(string key)

    spacing: 12

    Repeater {
        model: row.choices

        delegate: Rectangle {
            id: tile

            required property var modelData
            readonly property bool selected: row.current === modelData.key

            width: (row.width - row.spacing * (row.choices.length - 1)) / Math.max(1, row.choices.length)
            height: row.tileHeight
            radius: 14
            color: selected ? Qt.alpha(row.theme.primary, row.theme.lightMode ? 0.14 : 0.16)
                            : (area.containsMouse ? Qt.alpha(row.theme.ink, 0.06) : row.theme.cardFill)
            border.width: selected || area.activeFocus ? 2 : 1
            border.color: selected || area.activeFocus ? row.theme.primary : row.theme.ink4

            Column {
                x: 18
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 36
                spacing: 4

                Text {
                    width: parent.width
                    textFormat: Text.PlainText
                    text: tile.modelData.title
                    color: Theme.text(tile.selected ? row.theme.primary : row.theme.ink)
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: 15
                    font.bold: true
                }

                Text {
                    width: parent.width
                    textFormat: Text.PlainText
                    text: tile.modelData.subtitle
                    color: row.theme.ink3
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }

            ClickArea {
                id: area

                anchors.fill: parent
                label: tile.modelData.title
                role: Accessible.RadioButton
                Accessible.checkable: true
                Accessible.checked: tile.selected
                onActivated: row.chosen(tile.modelData.key)
            }
        }
    }
}
