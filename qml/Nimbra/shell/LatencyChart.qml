import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The selected route's measured latency over the last 60 s of acceleration: one point per probe
// round, newest at the right. A round with lost probes is marked below the line; one with no answer at
// all breaks the line and is marked in full.
Item {
    id: chart

    required property LatencyHistoryModel history
    readonly property int rounds: history.added
    required property ThemeColors theme
    readonly property real span: 60
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

    Canvas {
        id: canvas

        anchors.top: caption.bottom
        anchors.topMargin: 4
        anchors.bottom: parent.bottom
        width: parent.width
        antialiasing: true
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.strokeStyle = Qt.alpha(chart.theme.ink, 0.12)
            ctx.lineWidth = 1
            ctx.beginPath()
            ctx.moveTo(0, height - 0.5)
            ctx.lineTo(width, height - 0.5)
            ctx.stroke()
            const history = chart.history
            const count = history.count
            const newest = count > 0 ? history.point(count - 1).seconds : 0
            const x = seconds => width * (1 - (newest - seconds) / chart.span)
            const y = ms => height - 4 - (height - 8) * Math.min(1, ms / chart.topMs)
            ctx.strokeStyle = chart.theme.neon
            ctx.lineWidth = 1.6
            ctx.beginPath()
            let drawing = false
            const lossy = []
            for (let i = 0; i < count; ++i) {
                const p = history.point(i)
                if (p.loss > 0)
                    lossy.push(p)
                if (p.ms < 0) {
                    drawing = false
                    continue
                }
                if (drawing)
                    ctx.lineTo(x(p.seconds), y(p.ms))
                else
                    ctx.moveTo(x(p.seconds), y(p.ms))
                drawing = true
            }
            ctx.stroke()
            ctx.fillStyle = chart.theme.accent
            for (const q of lossy) {
                const h = q.ms < 0 ? height : Math.max(3, height * q.loss)
                ctx.fillRect(x(q.seconds) - 1.5, height - h, 3, h)
            }
        }
    }

    // A round arrived: the line moves left by one round.
    onRoundsChanged: canvas.requestPaint()
    onWidthChanged: canvas.requestPaint()
    onHeightChanged: canvas.requestPaint()
}
