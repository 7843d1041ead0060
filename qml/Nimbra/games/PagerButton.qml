import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// "上一页" / "下一页": inactive buttons ignore clicks and keys.
T.AbstractButton {
    id: button

    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property bool active: true

    signal activated()

    function activate() {
        if (active)
            activated()
    }

    width: 84
    height: 34
    opacity: active ? 1 : 0.45
    hoverEnabled: true
    focusPolicy: active ? Qt.TabFocus : Qt.NoFocus
    Accessible.name: text
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()
    onClicked: activate()

    background: Rectangle {
        radius: 10
        color: button.active && button.hovered ? Qt.alpha(button.primary, 0.14) : "transparent"
        border.width: 1
        border.color: button.active && button.activeFocus ? button.primary : button.ink4
    }

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: button.active ? button.ink : button.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    HoverHandler {
        cursorShape: button.active ? Qt.PointingHandCursor : Qt.ArrowCursor
    }

    FocusRing {
        visible: button.active && button.activeFocus
        lightMode: button.lightMode
        cornerRadius: 13
    }
}
