import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../shell"

// A dialog of the purchase page: it dims the page behind a modal pop-up and shows its card in the
// middle under the shared header, with Tab kept inside it. Content goes below the header.
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
    }

    ModalPopup {
        wanted: frame.visible
        // Only the close button and Esc close it: a stray click must not lose an order in progress.
        closePolicy: T.Popup.NoAutoClose
        onCloseRequested: frame.closeRequested()

        PopupCard {
            width: Math.min(frame.cardWidth, frame.width - 32)
            height: Math.min(frame.cardHeight, frame.height - 32)
            theme: frame
            focus: true
            Accessible.role: Accessible.Dialog
            Accessible.name: frame.title
            Keys.onEscapePressed: frame.closeRequested()

            DialogHeader {
                id: header

                width: parent.width
                theme: frame
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
