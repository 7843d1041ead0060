import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A text link such as "没有账号？立即注册": the lead in a quiet colour, the action in the link colour.
Text {
    id: link

    required property ThemeColors theme
    property string lead: ""
    property string action: ""
    readonly property string label: lead + action

    signal activated()

    text: lead + "<font color=\"" + theme.primary + "\">" + action + "</font>"
    textFormat: Text.StyledText
    color: theme.ink3
    font.family: Fonts.ui()
    font.pixelSize: Theme.textSize(12)
    font.underline: area.containsMouse || activeFocus
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: label
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    Keys.onSpacePressed: activated()

    MouseArea {
        id: area

        anchors.fill: parent
        anchors.margins: -4
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: link.activated()
    }
}
