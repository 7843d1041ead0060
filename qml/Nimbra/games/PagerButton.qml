import QtQuick
import QtQuick.Templates as T
import Nimbra
import "../Fonts.js" as Fonts

// "上一页" / "下一页": inactive buttons ignore clicks and keys.
T.AbstractButton {
    id: button

    required property ThemeColors theme
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
        color: button.active && button.hovered ? Qt.alpha(button.theme.primary, 0.14) : "transparent"
        border.width: 1
        border.color: button.active && button.activeFocus ? button.theme.primary : button.theme.ink4
    }

    Text {
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: button.text
        color: button.active ? button.theme.ink : button.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    HoverHandler {
        cursorShape: button.active ? Qt.PointingHandCursor : Qt.ArrowCursor
    }

    FocusRing {
        visible: button.active && button.activeFocus
        lightMode: button.theme.lightMode
        cornerRadius: 13
    }
}
