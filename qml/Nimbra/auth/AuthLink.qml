import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// A text link such as "没有账号？立即注册": the lead in a quiet colour, the action in the link colour.
// The button over it is a little larger than the text, so the link is easy to hit.
Text {
    id: link

    required property var theme
    property string lead: ""
    property string action: ""
    readonly property string label: lead + action

    signal activated()

    text: lead + "<font color=\"" + theme.primary + "\">" + action + "</font>"
    textFormat: Text.StyledText
    color: theme.ink3
    font.family: Fonts.ui()
    font.pixelSize: Theme.textSize(12)
    font.underline: button.hovered || button.activeFocus
    // The button names the link.
    Accessible.ignored: true

    T.AbstractButton {
        id: button

        anchors.fill: parent
        anchors.margins: -4
        hoverEnabled: true
        focusPolicy: Qt.TabFocus
        Accessible.role: Accessible.Link
        // Qt gives a button its own role when accessibility comes on; a link stays one.
        Accessible.onRoleChanged: Accessible.role = Accessible.Link
        Accessible.name: link.label
        Accessible.onPressAction: link.activated()
        Keys.onReturnPressed: link.activated()
        Keys.onEnterPressed: link.activated()
        onClicked: link.activated()

        HoverHandler {
            cursorShape: Qt.PointingHandCursor
        }
    }
}
