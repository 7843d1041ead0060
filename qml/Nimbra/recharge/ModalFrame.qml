import QtQuick
import Nimbra
import "../shell"

// A dialog of the purchase page: it covers the page with a dimming mask that takes every click, and
// shows its card in a pop-up in the middle under the shared header, with Tab kept inside it. Content
// goes below the header.
ThemedScope {
    id: frame

    property string title: ""
    property string subtitle: ""
    property real cardWidth: 760
    property real cardHeight: 560
    default property alias content: body.data

    signal closeRequested()

    anchors.fill: parent

    Rectangle {
        anchors.fill: parent
        color: Theme.scrim(frame.lightMode)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
        }
    }

    DialogPopup {
        wanted: frame.visible

        PopupCard {
            width: Math.min(frame.cardWidth, frame.width - 32)
            height: Math.min(frame.cardHeight, frame.height - 32)
            theme: ThemeColors { lightMode: frame.lightMode }
            focus: true
            Accessible.role: Accessible.Dialog
            Accessible.name: frame.title
            Keys.onEscapePressed: frame.closeRequested()

            DialogHeader {
                id: header

                width: parent.width
                theme: ThemeColors { lightMode: frame.lightMode }
                title: frame.title
                subtitle: frame.subtitle
                onCloseRequested: frame.closeRequested()
            }

            Item {
                id: body

                anchors.top: header.bottom
                anchors.topMargin: 6
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.leftMargin: 24
                anchors.rightMargin: 24
                anchors.bottomMargin: 20
            }
        }
    }
}
