pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// One option of a purchase mode: its caption and hint, and one chip per choice ({value, text}), the
// chosen one filled. The owner decides what a choice changes.
Column {
    id: block

    required property ThemedScope theme
    property string caption: ""
    property string hint: ""
    property var options: []
    property string current: ""
    // Appended to each chip's text ("人" for team sizes).
    property string suffix: ""

    signal chosen(string value)

    spacing: 8

    Row {
        spacing: 10

        Text {
            id: captionText

            textFormat: Text.PlainText
            text: block.caption
            color: block.theme.ink
            font.family: Fonts.ui()
            font.pixelSize: 14
            font.bold: true
        }

        Text {
            anchors.baseline: captionText.baseline
            textFormat: Text.PlainText
            text: block.hint
            color: block.theme.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Flow {
        width: block.width
        spacing: 8

        Repeater {
            model: block.options

            delegate: Rectangle {
                id: chip

                required property var modelData
                readonly property string value: String(modelData.value)
                readonly property bool selected: value === block.current

                width: chipText.implicitWidth + 30
                height: 32
                radius: 16
                color: selected ? block.theme.primary
                                : (area.containsMouse ? Qt.alpha(block.theme.primary, 0.12)
                                                      : Qt.alpha(block.theme.ink, 0.05))
                border.width: area.activeFocus ? 2 : 1
                border.color: selected || area.activeFocus ? block.theme.primary : block.theme.ink4

                Text {
                    id: chipText

                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: String(chip.modelData.text) + block.suffix
                    color: chip.selected ? "#ffffff" : block.theme.ink2
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                    font.bold: chip.selected
                }

                ClickArea {
                    id: area

                    anchors.fill: parent
                    label: chipText.text
                    role: Accessible.RadioButton
                    Accessible.checkable: true
                    Accessible.checked: chip.selected
                    onActivated: block.chosen(chip.value)
                }
            }
        }
    }
}
