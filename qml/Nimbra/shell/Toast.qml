import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The short notice bubble under the title bar, clear of the pages' controls; an empty text hides it.
Rectangle {
    id: toast

    required property AccelerationSession session
    required property bool dawn
    readonly property string text: session.toastText
    readonly property bool warning: session.toastWarning

    width: Math.max(220, message.implicitWidth + 72)
    height: 44
    radius: 22
    visible: text !== ""
    color: Theme.toastFill(dawn)
    // A warning must not read as a success: its own glyph and an accent rim.
    border.color: warning ? Theme.accent(dawn) : Theme.edge(dawn)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text

    Row {
        anchors.centerIn: parent
        spacing: 10

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            name: toast.warning ? "warning" : "check"
            color: toast.warning ? Theme.accent(toast.dawn) : Theme.neon(toast.dawn)
            strokeWidth: 2
        }

        Text {
            id: message

            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: toast.text
            color: Theme.ink(toast.dawn)
            font.family: Fonts.ui()
            font.pixelSize: 14
        }
    }
}
