import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The bottom bar: what the engine is doing, the recommended node, latency, loss and the clock.
Item {
    id: bar

    required property var controller
    required property AccelerationSession session
    readonly property bool boosting: session.boosting
    readonly property var game: session.selectedGame

    height: 30

    Rectangle {
        width: parent.width
        height: 1
        color: bar.controller.ink4
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
            color: bar.boosting ? bar.controller.neon : bar.controller.ink3
        }

        Text {
            objectName: "statusText"
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: bar.boosting ? "加速中 · " + String(bar.game.name || "") + " · "
                                 + bar.session.server
                               : "未加速 · 双链路引擎待命"
            color: Theme.text(bar.boosting ? bar.controller.neon : bar.controller.ink3)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Text {
        x: 268
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.PlainText
        text: bar.boosting ? "专线节点：华东 · 上海电信 BGP-3" : "推荐节点：华东 · 上海电信 BGP-3"
        color: bar.controller.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 18
        anchors.verticalCenter: parent.verticalCenter
        spacing: 22

        Text {
            textFormat: Text.PlainText
            text: (bar.boosting ? "连接延时  " : "未连接延时  ") + bar.session.displayedLatency + " ms"
            color: bar.controller.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            textFormat: Text.PlainText
            text: "丢包  0.0%"
            color: bar.controller.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            textFormat: Text.PlainText
            text: bar.session.clockText
            color: bar.controller.ink2
            font.family: Fonts.latin()
            font.pixelSize: Theme.textSize(12)
        }
    }
}
