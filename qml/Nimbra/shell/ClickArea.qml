import QtQuick
import Nimbra

// The clickable part of the window's own controls: mouse, Enter/Space when focused and the
// accessibility press action all end in activated(). The visible label doubles as the accessible name.
// It shows the focus ring round the area it covers.
MouseArea {
    id: area

    property string label: ""
    property int role: Accessible.Button
    property alias lightMode: ring.lightMode
    property alias focusRadius: ring.cornerRadius
    property alias focusInset: ring.inset

    signal activated()

    function activate() {
        if (enabled)
            activated()
    }

    hoverEnabled: true
    cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
    activeFocusOnTab: true
    Accessible.role: role
    Accessible.name: label
    Accessible.focusable: true
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()
    Keys.onSpacePressed: activate()
    onClicked: activate()

    FocusRing {
        id: ring
    }
}
