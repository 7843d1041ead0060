import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// The submit button of a sign-in form.
T.AbstractButton {
    id: button

    required property ThemeColors theme

    // The label's letter spacing is for the eye; a screen reader gets the word.
    property string accessibleName: text.replace(/ /g, "")

    signal activated()

    implicitHeight: 46
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: accessibleName
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    onClicked: activated()

    background: Rectangle {
        radius: 12
        border.width: button.activeFocus ? 2 : 0
        border.color: Qt.lighter(button.theme.primary, 1.4)
        gradient: Gradient {
            orientation: Gradient.Horizontal
            // Hover deepens the far end: a lighter near end would wash out the label.
            GradientStop { position: 0; color: Qt.lighter(button.theme.primary, 1.08) }
            GradientStop { position: 1; color: Qt.darker(button.theme.primary, button.hovered ? 1.35 : 1.25) }
        }
    }

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: Theme.onPrimary(button.theme.lightMode)
        font.family: Fonts.ui()
        font.pixelSize: 15
        font.bold: true
    }

    HoverHandler {
        cursorShape: Qt.PointingHandCursor
    }
}
