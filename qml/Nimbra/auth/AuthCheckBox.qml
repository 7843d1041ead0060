import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// A check box with its label; a click or Space flips it and reports the new state.
T.CheckBox {
    id: box

    required property ThemeColors theme

    signal toggled(bool checked)

    function flip() {
        toggle()
        toggled(checked)
    }

    implicitWidth: mark.width + 7 + label.implicitWidth
    implicitHeight: 18
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: text
    Accessible.onPressAction: flip()
    Accessible.onToggleAction: flip()
    // The click has flipped it already.
    onClicked: toggled(checked)

    Rectangle {
        id: mark

        anchors.verticalCenter: parent.verticalCenter
        width: 15
        height: 15
        radius: 4
        color: box.checked ? box.theme.primary : "transparent"
        border.width: 1
        border.color: box.checked || box.activeFocus ? box.theme.primary : box.theme.ink3

        Icon {
            anchors.fill: parent
            anchors.margins: 1
            visible: box.checked
            name: "check"
            color: "#ffffff"
            strokeWidth: 2.6
        }
    }

    Text {
        id: label

        anchors.left: mark.right
        anchors.leftMargin: 7
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: box.text
        color: box.theme.ink2
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    HoverHandler {
        cursorShape: Qt.PointingHandCursor
    }

    // Round the mark and its label: a ticked mark is already in the focus colour.
    FocusRing {
        cornerRadius: 6
        lightMode: box.theme.lightMode
    }
}
