import QtQuick
import Nimbra

// The keyboard focus mark of every focusable element: a ring round the element, shown only while it
// has the active focus, in the theme's selection colour (it stands out on both themes' surfaces).
// It goes inside the element it marks; a negative inset draws it outside, a positive one inside where
// the element clips its children.
Rectangle {
    property bool lightMode: false
    property real inset: -3
    property real cornerRadius: 10

    anchors.fill: parent
    anchors.margins: inset
    radius: cornerRadius
    color: "transparent"
    border.width: 2
    border.color: Theme.primary(lightMode)
    visible: parent ? parent.activeFocus : false
    Accessible.ignored: true
}
