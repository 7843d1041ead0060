import QtQuick
import QtQuick.Shapes
import Nimbra
import "../Fonts.js" as Fonts

// The selected route's measured latency over the last 60 s of acceleration: one point per probe
// round, newest at the right. A round with lost probes is marked below the line; one with no answer at
// all breaks the line and is marked in full. The history model gives the paths.
Item {
    id: chart

    required property LatencyHistoryModel history
    readonly property int rounds: history.added
    required property ThemeColors theme
    readonly property real topMs: Math.ceil(Math.max(20, history.peakMs) * 1.25 / 10) * 10

    implicitHeight: 64

    Text {
        id: caption

        textFormat: Text.PlainText
        text: "最近 60 秒延迟（实测）"
        color: chart.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(11)
    }

    Text {
        anchors.right: parent.right
        textFormat: Text.PlainText
        text: chart.topMs + " ms"
        color: chart.theme.ink3
        font.family: Fonts.latin()
        font.pixelSize: Theme.textSize(10)
    }

    Item {
        id: plot

        anchors.top: caption.bottom
        anchors.topMargin: 4
        anchors.bottom: parent.bottom
        width: parent.width
        // Rebuilt when a round arrives or the box changes size.
        readonly property string line: chart.rounds >= 0 ? chart.history.linePath(width, height, chart.topMs) : ""
        readonly property string loss: chart.rounds >= 0 ? chart.history.lossPath(width, height) : ""

        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: Qt.alpha(chart.theme.ink, 0.12)
        }

        Shape {
            anchors.fill: parent
            // A GPU draws paths unsmoothed unless multisampled; the software renderer smooths them itself.
            layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
            layer.samples: 4

            ShapePath {
                strokeColor: chart.theme.neon
                strokeWidth: 1.6
                fillColor: "transparent"
                joinStyle: ShapePath.RoundJoin
                capStyle: ShapePath.RoundCap

                PathSvg {
                    path: plot.line
                }
            }

            ShapePath {
                strokeColor: "transparent"
                fillColor: chart.theme.accent

                PathSvg {
                    path: plot.loss
                }
            }
        }
    }
}
