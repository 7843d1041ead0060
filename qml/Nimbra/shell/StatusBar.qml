import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The bottom bar: what the engine is doing, the recommended node, latency, loss and the clock.
Item {
    id: bar

    required property bool dawn
    required property AccelerationSession session
    readonly property bool boosting: session.controller.boosting
    readonly property var game: session.choice.selectedGame
    readonly property var node: session.routeSource.selectedNode

    height: 30

    Rectangle {
        width: parent.width
        height: 1
        color: Theme.ink4(bar.dawn)
        opacity: 0.5
    }

    Row {
        x: 18
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            width: 14
            height: 14
            name: "sparkle"
            color: bar.boosting ? Theme.neon(bar.dawn) : Theme.ink3(bar.dawn)
        }

        Text {
            objectName: "statusText"
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: bar.boosting ? "加速中 · " + String(bar.game.name || "") + " · "
                                 + bar.session.choice.server
                               : "未加速 · 加速引擎待命"
            color: Theme.text(bar.boosting ? Theme.neon(bar.dawn) : Theme.ink3(bar.dawn))
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Text {
        objectName: "nodeText"
        x: 268
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        // The selected route's own name.
        text: (bar.boosting ? "专线节点：" : "推荐节点：") + (String(bar.node.name || "") || "—")
        color: Theme.ink3(bar.dawn)
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 18
        anchors.verticalCenter: parent.verticalCenter
        spacing: 22

        Text {
            objectName: "latencyText"
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: (bar.boosting ? "节点延迟  " : "节点延迟（未加速）  ") + bar.session.measurement.latencyText
            color: Theme.ink3(bar.dawn)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            objectName: "lossText"
            text: "丢包  " + bar.session.measurement.lossText
            color: Theme.ink3(bar.dawn)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: bar.session.clockText
            color: Theme.ink2(bar.dawn)
            font.family: Fonts.latin()
            font.pixelSize: Theme.textSize(12)
        }
    }
}
