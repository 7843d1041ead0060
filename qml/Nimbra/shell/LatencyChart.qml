pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Shapes
import Nimbra
import "../Fonts.js" as Fonts

// The selected route's measured latency over the last 60 s of acceleration: one point per probe
// round, newest at the right. A round with lost probes is marked by a bar from the bottom as tall as its
// loss; one with no answer at all breaks the line and is marked in full. The history model gives the
// paths; the figures above name the current, average and highest latency of the rounds shown.
Item {
    id: chart

    required property LatencyHistoryModel history
    readonly property int rounds: history.added
    required property ThemeColors theme
    readonly property real topMs: Math.ceil(Math.max(20, history.peakMs) * 1.25 / 10) * 10
    readonly property string figures: "当前 " + msText(history.currentMs) + " · 平均 "
                                      + msText(history.averageMs) + " · 最高 "
                                      + (history.peakMs > 0 ? msText(history.peakMs) : "—")

    function msText(ms: real): string {
        if (history.count === 0)
            return "—"
        return ms < 0 ? "无应答" : (ms < 1 ? "<1 ms" : Math.round(ms) + " ms")
    }

    implicitHeight: 176
    Accessible.role: Accessible.Chart
    Accessible.name: "最近 60 秒节点延迟"
    Accessible.description: figures

    Text {
        id: caption

        textFormat: Text.PlainText
        text: "节点延迟 · 最近 60 秒（实测）"
        color: chart.theme.ink2
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
        font.bold: true
    }

    Text {
        objectName: "chartFigures"
        anchors.left: caption.right
        anchors.leftMargin: 12
        anchors.baseline: caption.baseline
        textFormat: Text.PlainText
        text: chart.figures
        color: chart.theme.ink
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    // What the marks mean.
    Row {
        anchors.right: parent.right
        anchors.verticalCenter: caption.verticalCenter
        spacing: 6

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 14
            height: 2
            radius: 1
            color: chart.theme.neon
        }

        LegendText {
            text: "延迟"
            rightPadding: 6
        }

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 3
            height: 10
            color: chart.theme.accent
        }

        LegendText {
            text: "丢包（柱高为丢包比例，满高为无应答）"
        }
    }

    component LegendText: Text {
        textFormat: Text.PlainText
        color: chart.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(11)
    }

    component AxisText: Text {
        textFormat: Text.PlainText
        color: chart.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(10)
    }

    // The latency scale: lines and values at 0, half and the top.
    Repeater {
        model: [0, 0.5, 1]

        Item {
            id: tick

            required property real modelData
            readonly property real y0: plot.y + plot.height - 4 - (plot.height - 8) * modelData

            AxisText {
                x: plot.x - 6 - width
                y: tick.y0 - height / 2
                text: Math.round(chart.topMs * tick.modelData) + " ms"
            }

            Rectangle {
                x: plot.x
                y: tick.y0
                width: plot.width
                height: 1
                color: Qt.alpha(chart.theme.ink, tick.modelData === 0 ? 0.16 : 0.07)
            }
        }
    }

    Item {
        id: plot

        x: 48
        anchors.top: caption.bottom
        anchors.topMargin: 8
        anchors.bottom: timeAxis.top
        anchors.bottomMargin: 4
        width: parent.width - x
        // Rebuilt when a round arrives or the box changes size.
        readonly property string line: chart.rounds >= 0 ? chart.history.linePath(width, height, chart.topMs) : ""
        readonly property string loss: chart.rounds >= 0 ? chart.history.lossPath(width, height) : ""

        Shape {
            anchors.fill: parent
            // A GPU draws paths unsmoothed unless multisampled; the software renderer smooths them itself.
            layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
            layer.samples: 4

            ShapePath {
                strokeColor: "transparent"
                fillColor: Qt.alpha(chart.theme.accent, 0.75)

                PathSvg {
                    path: plot.loss
                }
            }

            ShapePath {
                strokeColor: chart.theme.neon
                strokeWidth: 1.8
                fillColor: "transparent"
                joinStyle: ShapePath.RoundJoin
                capStyle: ShapePath.RoundCap

                PathSvg {
                    path: plot.line
                }
            }
        }
    }

    // The time scale: the span shown, newest at the right.
    Item {
        id: timeAxis

        x: plot.x
        anchors.bottom: parent.bottom
        width: plot.width
        height: 14

        AxisText {
            text: "60 秒前"
        }

        AxisText {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "30 秒前"
        }

        AxisText {
            anchors.right: parent.right
            text: "现在"
        }
    }
}
