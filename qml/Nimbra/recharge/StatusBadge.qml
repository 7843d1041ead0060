import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A small status pill.
Rectangle {
    id: badge

    property string text: ""
    property color tint: Theme.neon(false)

    implicitWidth: label.implicitWidth + 20
    implicitHeight: 22
    radius: 11
    color: Qt.alpha(tint, 0.16)
    border.width: 1
    border.color: Qt.alpha(tint, 0.45)

    Text {
        id: label

        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: badge.text
        color: Theme.text(badge.tint)
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
        font.bold: true
    }
}
