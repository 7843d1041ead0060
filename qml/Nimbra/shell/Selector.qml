import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// One selector of the home page's control card: caption, current value and a chevron. Its clicks are
// taken by the hit layer above the card.
Rectangle {
    id: selector

    required property var controller
    property string caption: ""
    property string value: ""
    property bool open: false

    height: 40
    radius: 12
    color: selector.controller.panelInner
    border.color: open ? selector.controller.primary : selector.controller.ink4
    opacity: selector.controller.boosting ? 0.55 : 1

    Text {
        id: captionText

        x: 14
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: selector.caption
        color: selector.controller.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Text {
        anchors.left: captionText.right
        anchors.leftMargin: 10
        anchors.right: chevron.left
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: selector.value
        color: selector.controller.ink
        elide: Text.ElideRight
        font.family: Fonts.ui()
        font.pixelSize: 13
        font.bold: true
    }

    Icon {
        id: chevron

        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        width: 14
        height: 14
        name: "chevron"
        color: selector.controller.ink3
        rotation: selector.open ? 180 : 0
    }
}
