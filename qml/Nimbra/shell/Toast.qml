import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The short notice bubble above the status bar; an empty text hides it.
Rectangle {
    id: toast

    required property var controller
    readonly property string text: controller.toastText

    width: Math.max(220, message.implicitWidth + 72)
    height: 44
    radius: 22
    visible: text !== ""
    color: Theme.toastFill(controller.dawn)
    // A warning must not read as a success: its own glyph and an accent rim.
    border.color: controller.toastWarning ? controller.accent : controller.edge
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text

    Row {
        anchors.centerIn: parent
        spacing: 10

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            name: toast.controller.toastWarning ? "warning" : "check"
            color: toast.controller.toastWarning ? toast.controller.accent : toast.controller.neon
            strokeWidth: 2
        }

        Text {
            id: message

            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: toast.text
            color: toast.controller.ink
            font.family: Fonts.ui()
            font.pixelSize: 14
        }
    }
}
