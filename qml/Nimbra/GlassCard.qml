import QtQuick
import Nimbra

// The translucent rounded card every panel is built from. Pop-ups override the surfaces with opaque
// ones.
Rectangle {
    id: card

    property bool lightMode: false
    property color darkSurface: Theme.cardFill(false)
    property color lightSurface: Theme.cardFill(true)
    property color darkEdge: Theme.edge(false)
    property color lightEdge: Theme.edge(true)

    radius: 18
    color: lightMode ? lightSurface : darkSurface
    border.width: 1
    border.color: lightMode ? lightEdge : darkEdge
}
