pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// One seat per game of the team ("一游一坑"): the user's own, the ones taken, the free ones.
Column {
    id: strip

    required property ThemedScope theme
    property var states: []
    property string caption: ""

    readonly property real seatWidth: Math.max(28, Math.min(56, (width - (states.length - 1) * 8) / Math.max(1, states.length)))

    spacing: 10

    Item {
        width: parent.width
        height: 22

        Row {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            Text {
                textFormat: Text.PlainText
                text: "一游一坑"
                color: strip.theme.ink
                font.family: Fonts.ui()
                font.pixelSize: 14
                font.bold: true
            }

            StatusBadge {
                text: "独享拼团"
                tint: strip.theme.primary
            }
        }

        Row {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            spacing: 14

            Repeater {
                model: [["● 你的坑位", strip.theme.neon], ["■ 已占用", strip.theme.accent], ["○ 空闲", strip.theme.ink3]]

                delegate: Text {
                    required property var modelData

                    textFormat: Text.PlainText
                    text: modelData[0]
                    color: modelData[1]
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }

    Row {
        spacing: 8

        Repeater {
            model: strip.states

            delegate: Rectangle {
                id: seat

                required property string modelData
                required property int index

                readonly property color tint: modelData === "mine" ? strip.theme.neon
                                                                   : (modelData === "taken" ? strip.theme.accent : strip.theme.ink4)

                width: strip.seatWidth
                height: 40
                radius: 10
                color: modelData === "free" ? "transparent" : Qt.alpha(tint, 0.2)
                border.width: 1
                border.color: tint
                Accessible.role: Accessible.StaticText
                Accessible.name: (index + 1) + " " + (modelData === "mine" ? "你的坑位" : (modelData === "taken" ? "已占用" : "空闲"))

                Text {
                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: (seat.index < 9 ? "0" : "") + (seat.index + 1)
                    color: Theme.text(seat.modelData === "free" ? strip.theme.ink3 : seat.tint)
                    font.family: Fonts.latin()
                    font.pixelSize: 13
                    font.bold: true
                }
            }
        }
    }

    Text {
        width: parent.width
        textFormat: Text.PlainText
        text: strip.caption
        color: strip.theme.ink3
        wrapMode: Text.Wrap
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }
}
