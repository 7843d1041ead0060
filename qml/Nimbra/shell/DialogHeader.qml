import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// Title, subtitle and close button of a dialog; extra buttons go left of the close button.
Item {
    id: header

    required property ThemeColors theme
    property string title: ""
    property string subtitle: ""
    default property alias actions: actionRow.data
    readonly property alias closeButton: closeButton

    signal closeRequested()

    height: 76

    Column {
        x: 24
        y: 20
        width: actionRow.x - x - 12
        spacing: 4

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: header.title
            color: header.theme.ink
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 18
            font.bold: true
        }

        Text {
            objectName: "subtitle"
            width: parent.width
            textFormat: Text.PlainText
            text: header.subtitle
            color: header.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Row {
        id: actionRow

        anchors.right: closeButton.left
        anchors.rightMargin: 8
        anchors.verticalCenter: closeButton.verticalCenter
        spacing: 8
    }

    DialogButton {
        id: closeButton

        objectName: "closeButton"
        anchors.right: parent.right
        anchors.rightMargin: 16
        y: 18
        theme: header.theme
        iconName: "close"
        accessibleName: "关闭"
        onActivated: header.closeRequested()
    }
}
