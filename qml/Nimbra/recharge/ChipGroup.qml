pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A caption and its choices as chips ({value, text, available}); suffix follows each chip's text.
Column {
    id: group

    required property ThemedScope theme
    property string caption: ""
    property var choices: []
    property string selectedValue: ""
    property string suffix: ""

    signal chosen(string value)

    spacing: 8

    Text {
        visible: group.caption !== ""
        textFormat: Text.PlainText
        text: group.caption
        color: group.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Flow {
        width: parent.width
        spacing: 8

        Repeater {
            model: group.choices

            delegate: OptionChip {
                required property var modelData

                theme: ThemeColors { lightMode: group.theme.lightMode }
                text: modelData.text + group.suffix
                selected: modelData.value === group.selectedValue
                enabled: modelData.available !== false
                onActivated: group.chosen(modelData.value)
            }
        }
    }
}
