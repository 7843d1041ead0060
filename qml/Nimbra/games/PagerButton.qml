import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// "上一页" / "下一页": inactive buttons ignore clicks and keys.
Rectangle {
    id: button

    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property string text: ""
    property bool active: true

    signal activated()

    function activate() {
        if (active)
            activated()
    }

    width: 84
    height: 34
    radius: 10
    color: active && area.containsMouse ? Qt.alpha(primary, 0.14) : "transparent"
    border.width: 1
    border.color: active && activeFocus ? primary : ink4
    opacity: active ? 1 : 0.45
    activeFocusOnTab: active
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()
    Keys.onSpacePressed: activate()

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: button.active ? button.ink : button.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: button.active ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: button.activate()
    }

    FocusRing {
        visible: button.active && button.activeFocus
        lightMode: button.lightMode
        cornerRadius: 13
    }
}
