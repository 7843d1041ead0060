import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A caption over its value.
Column {
    id: field

    required property ThemedScope theme
    property string caption: ""
    property string value: ""

    spacing: 4

    Text {
        width: parent.width
        textFormat: Text.PlainText
        text: field.caption
        color: field.theme.ink3
        elide: Text.ElideRight
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Text {
        width: parent.width
        textFormat: Text.PlainText
        text: field.value
        color: field.theme.ink
        elide: Text.ElideRight
        font.family: Fonts.ui()
        font.pixelSize: 14
        font.bold: true
    }
}
