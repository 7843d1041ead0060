import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// One selector of the home page's control card: caption, current value and a chevron. Its clicks are
// taken by the hit layer above the card.
Rectangle {
    id: selector

    required property bool dawn
    required property bool boosting
    property string caption: ""
    property string value: ""
    property bool open: false
    // With one value to offer there is no menu: the value is shown as plain text.
    property bool choosable: true
    // The value is cut to fit: the card shows it whole on hover.
    readonly property bool truncated: valueText.truncated

    height: 40
    radius: 12
    border.width: selector.choosable ? 1 : 0
    border.color: open ? Theme.primary(selector.dawn) : Theme.ink4(selector.dawn)
    opacity: selector.boosting ? 0.55 : 1
    color: selector.choosable ? Theme.panelInner(selector.dawn) : "transparent"
    // The hit layer names a selector that opens a menu; a plain value is read here.
    Accessible.role: Accessible.StaticText
    Accessible.name: selector.caption + " " + selector.value
    Accessible.ignored: selector.choosable

    Text {
        id: captionText

        x: 14
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: selector.caption
        color: Theme.ink3(selector.dawn)
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Text {
        id: valueText

        anchors.left: captionText.right
        anchors.leftMargin: 10
        anchors.right: chevron.visible ? chevron.left : parent.right
        anchors.rightMargin: chevron.visible ? 6 : 14
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: selector.value
        color: Theme.ink(selector.dawn)
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
        visible: selector.choosable
        name: "chevron"
        color: Theme.ink3(selector.dawn)
        rotation: selector.open ? 180 : 0
    }
}
