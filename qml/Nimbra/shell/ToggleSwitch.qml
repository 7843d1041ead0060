import QtQuick
import Nimbra

// An on/off switch; the owner flips the bound value when it is toggled.
Rectangle {
    id: toggle

    property bool checked: false
    property string label: ""
    property color onColor: Theme.neon(lightMode)
    property color offColor: Theme.ink4(lightMode)
    property bool interactive: true
    property bool lightMode: false

    signal toggled()

    width: 40
    height: 22
    radius: 11
    color: checked ? onColor : offColor

    Behavior on color {
        ColorAnimation { duration: 140 }
    }

    Rectangle {
        x: toggle.checked ? toggle.width - width - 3 : 3
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        radius: 8
        color: "#ffffff"

        Behavior on x {
            NumberAnimation { duration: 140 }
        }
    }

    ClickArea {
        id: area

        anchors.fill: parent
        anchors.margins: -4
        visible: toggle.interactive
        label: toggle.label
        lightMode: toggle.lightMode
        focusRadius: 15
        role: Accessible.CheckBox
        Accessible.checkable: true
        Accessible.checked: toggle.checked
        onActivated: toggle.toggled()
    }
}
