import QtQuick
import QtQuick.Templates as T
import Nimbra

// The clickable part of the window's own controls: a button with no look of its own, laid over what
// it makes clickable. A click, Enter or Space when focused and the accessibility press action all end
// in activated(). The visible label doubles as the accessible name. It shows the focus ring round the
// area it covers.
T.AbstractButton {
    id: area

    property string label: ""
    property int role: Accessible.Button
    property alias lightMode: ring.lightMode
    property alias focusRadius: ring.cornerRadius
    property alias focusInset: ring.inset
    readonly property bool containsMouse: hovered

    signal activated()

    function activate() {
        if (enabled)
            activated()
    }

    hoverEnabled: true
    // Tab gives it the keyboard, a click does not: the ring marks keyboard use only.
    focusPolicy: Qt.TabFocus
    Accessible.role: role
    // Qt gives a button its own role when accessibility comes on; the role asked for here stays.
    Accessible.onRoleChanged: {
        if (Accessible.role !== role)
            Accessible.role = role
    }
    Accessible.name: label
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()
    onClicked: activate()

    HoverHandler {
        cursorShape: area.enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
    }

    FocusRing {
        id: ring
    }
}
