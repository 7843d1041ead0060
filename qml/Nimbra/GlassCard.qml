import QtQuick

// The translucent rounded card every panel is built from. Pop-ups override the surfaces with opaque
// ones.
Rectangle {
    id: card

    property bool lightMode: false
    property color darkSurface: "#16ffffff"
    property color lightSurface: "#52ffffff"
    property color darkEdge: "#48ffffff"
    property color lightEdge: "#82ffffff"

    radius: 18
    color: lightMode ? lightSurface : darkSurface
    border.width: 1
    border.color: lightMode ? lightEdge : darkEdge
}
