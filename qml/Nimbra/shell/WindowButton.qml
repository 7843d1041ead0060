import QtQuick
import Nimbra

// One of the title bar's buttons: an icon over a hover and pressed fill. The close button sits in the
// frame's rounded corner, so its fill is rounded there too.
Item {
    id: button

    property string iconName: ""
    property string label: ""
    property color iconColor: Theme.ink(false)
    property color hoverFill: "transparent"
    property color pressedFill: hoverFill
    property real cornerRadius: 0
    property alias lightMode: area.lightMode
    readonly property alias hovered: area.containsMouse

    signal activated()

    width: 46
    height: 46
    clip: true

    Rectangle {
        // Larger than the button on the left and below, so only its top-right corner shows rounded.
        x: button.cornerRadius > 0 ? -button.cornerRadius : 0
        width: parent.width + (button.cornerRadius > 0 ? button.cornerRadius : 0)
        height: parent.height + button.cornerRadius
        radius: button.cornerRadius
        color: area.pressed ? button.pressedFill : (area.containsMouse || area.activeFocus ? button.hoverFill
                                                                                           : "transparent")
    }

    Icon {
        anchors.centerIn: parent
        width: 14
        height: 14
        name: button.iconName
        color: button.iconColor
        strokeWidth: 1.6
    }

    ClickArea {
        id: area

        anchors.fill: parent
        label: button.label
        // Inside: the button clips what it holds.
        focusInset: 3
        focusRadius: 6
        onActivated: button.activated()
    }
}
