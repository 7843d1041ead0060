import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The submit button of a sign-in form.
Rectangle {
    id: button

    required property var theme
    property string text: ""

    signal activated()

    implicitHeight: 46
    radius: 12
    border.width: activeFocus ? 2 : 0
    border.color: Qt.lighter(theme.primary, 1.4)
    gradient: Gradient {
        orientation: Gradient.Horizontal
        // Hover deepens the far end: a lighter near end would wash out the label.
        GradientStop { position: 0; color: Qt.lighter(button.theme.primary, 1.08) }
        GradientStop { position: 1; color: Qt.darker(button.theme.primary, area.containsMouse ? 1.35 : 1.25) }
    }
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    Keys.onSpacePressed: activated()

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: Theme.onPrimary(button.theme.lightMode)
        font.family: Fonts.ui()
        font.pixelSize: 15
        font.bold: true
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activated()
    }
}
