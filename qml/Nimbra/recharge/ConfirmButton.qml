import QtQuick
import Nimbra
import "../shell"

// A button for what cannot be undone (cancelling an order): the first press asks, in its own label,
// and only a second press within a few seconds does it.
DialogButton {
    id: button

    required property string label
    property string question: "确认取消？"
    // Named for a screen reader; the question is said in place of the label while it asks.
    property string subject: ""
    property bool asking: false

    signal confirmed()

    text: asking ? question : label
    accessibleName: subject === "" ? text : text + " " + subject
    onActivated: {
        if (!enabled)
            return
        if (asking) {
            asking = false
            confirmed()
        } else {
            asking = true
            expiry.restart()
        }
    }
    Keys.onEscapePressed: event => {
        event.accepted = asking
        asking = false
    }

    Timer {
        id: expiry

        interval: 5000
        onTriggered: button.asking = false
    }
}
