import QtQuick
import Nimbra

// The opaque card of a pop-up or dialog. It takes every click that lands on it, so a click inside
// never reaches the layer behind that closes the pop-up.
GlassCard {
    id: card

    required property ThemeColors theme

    lightMode: theme.lightMode
    darkSurface: Theme.popupSurface(false)
    lightSurface: Theme.popupSurface(true)
    darkEdge: theme.edge
    lightEdge: theme.edge

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        onWheel: wheel => wheel.accepted = true
    }
}
