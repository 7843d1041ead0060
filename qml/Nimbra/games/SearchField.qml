import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A search box with a magnifier, a placeholder and an optional key hint at its right end.
Rectangle {
    id: field

    required property ThemeColors theme

    property string placeholder: ""
    property string hint: ""
    property alias text: input.text
    readonly property alias inputActiveFocus: input.activeFocus

    // Enter in the field.
    signal accepted()

    function focusInput() {
        input.forceActiveFocus()
        input.selectAll()
    }

    implicitHeight: 40
    radius: 12
    color: Theme.inputFill(theme.lightMode)
    border.width: 1
    border.color: input.activeFocus ? theme.primary : theme.ink4

    Icon {
        id: magnifier

        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        name: "search"
        color: field.theme.ink3
        strokeWidth: 2
    }

    TextInput {
        id: input

        objectName: "searchInput"
        anchors.left: magnifier.right
        anchors.leftMargin: 8
        anchors.right: hintChip.visible ? hintChip.left : parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        clip: true
        color: field.theme.ink
        selectionColor: field.theme.primary
        selectedTextColor: "#ffffff"
        font.family: Fonts.ui()
        font.pixelSize: 13
        selectByMouse: true
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: field.placeholder
        Keys.onEscapePressed: text = ""
        onAccepted: field.accepted()

        Text {
            anchors.fill: parent
            verticalAlignment: Text.AlignVCenter
            visible: input.text.length === 0
            textFormat: Text.PlainText
            text: field.placeholder
            color: field.theme.ink3
            elide: Text.ElideRight
            font: input.font
        }
    }

    Rectangle {
        id: hintChip

        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: field.hint !== ""
        width: hintText.implicitWidth + 12
        height: 22
        radius: 6
        color: "transparent"
        border.width: 1
        border.color: field.theme.ink4

        Text {
            id: hintText

            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: field.hint
            color: field.theme.ink3
            font.family: Fonts.latin()
            font.pixelSize: Theme.textSize(11)
        }
    }

    FocusRing {
        visible: input.activeFocus
        lightMode: field.theme.lightMode
        cornerRadius: 15
    }

    MouseArea {
        anchors.fill: parent
        z: -1
        cursorShape: Qt.IBeamCursor
        onClicked: input.forceActiveFocus()
    }
}
