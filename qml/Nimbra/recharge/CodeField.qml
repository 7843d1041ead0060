import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The team-code box: shown in capitals whatever is typed; Enter asks for the lookup.
Rectangle {
    id: field

    required property ThemedScope theme
    property alias text: input.text
    property string placeholder: "请输入团码"

    signal accepted()

    implicitWidth: 240
    implicitHeight: 38
    radius: 12
    color: Theme.inputFill(theme.lightMode)
    border.width: 1
    border.color: input.activeFocus ? theme.primary : theme.ink4

    TextInput {
        id: input

        objectName: "codeInput"
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        verticalAlignment: TextInput.AlignVCenter
        clip: true
        color: field.theme.ink
        selectionColor: field.theme.primary
        font.family: Fonts.latin()
        font.pixelSize: 15
        font.bold: true
        font.letterSpacing: 1.5
        font.capitalization: Font.AllUppercase
        maximumLength: 32
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: field.placeholder
        onAccepted: field.accepted()
    }

    Text {
        visible: input.text === ""
        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: field.placeholder
        color: field.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }
}
