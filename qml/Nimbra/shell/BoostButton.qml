import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The acceleration button: "一键加速" when idle, "正在启动…" while the core starts (a click cancels),
// "停止" while boosting. What a click does is the controller's decision.
Rectangle {
    id: button

    required property bool dawn
    required property AccelerationController controller
    readonly property bool starting: App.singBoxManager.starting
    readonly property bool boosting: controller.boosting
    readonly property string label: boosting ? "停止" : (starting ? "正在启动…" : "一键加速")

    width: 220
    height: 64
    radius: 18
    opacity: starting ? 0.72 : 1
    gradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop {
            position: 0
            color: button.boosting ? Theme.stopStart : Theme.boostStart(button.dawn)
        }
        GradientStop {
            position: 1
            color: button.boosting ? Theme.stopEnd : Theme.boostEnd(button.dawn)
        }
    }
    scale: area.pressed ? 0.97 : 1

    Behavior on scale {
        NumberAnimation { duration: 90 }
    }

    Row {
        anchors.centerIn: parent
        spacing: 10

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            width: 22
            height: 22
            name: button.boosting ? "stop" : "bolt"
            color: labelText.color
        }

        Text {
            id: labelText

            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: button.label
            color: button.boosting ? "#ffffff" : "#06281a"
            font.family: Fonts.ui()
            font.pixelSize: 20
            font.bold: true
        }
    }

    ClickArea {
        id: area

        objectName: "boostButton"
        anchors.fill: parent
        label: button.label
        lightMode: button.dawn
        focusRadius: 21
        onActivated: button.controller.toggleAcceleration()
    }
}
