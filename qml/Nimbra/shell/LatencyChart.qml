import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The selected route's measured latency over the last 60 s of acceleration: one point per probe
// round, newest at the right. A round with lost probes is marked below the line; one with no answer at
// all breaks the line and is marked in full.
Item {
    id: chart

    // Maps of age (s before the newest round), ms (-1: no answer) and loss (0..1), oldest first.
    property var points: []
    required property var theme
    readonly property real span: 60
    readonly property real topMs: {
        let top = 20
        for (let i = 0; i < points.length; ++i)
            top = Math.max(top, points[i].ms)
        return Math.ceil(top * 1.25 / 10) * 10
    }

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
            const points = chart.points
            const x = age => width * (1 - age / chart.span)
            const y = ms => height - 4 - (height - 8) * Math.min(1, ms / chart.topMs)
            ctx.strokeStyle = chart.theme.neon
            ctx.lineWidth = 1.6
            ctx.beginPath()
            let drawing = false
            for (let i = 0; i < points.length; ++i) {
                const p = points[i]
                if (p.ms < 0) {
                    drawing = false
                    continue
                }
                if (drawing)
                    ctx.lineTo(x(p.age), y(p.ms))
                else
                    ctx.moveTo(x(p.age), y(p.ms))
                drawing = true
            }
            ctx.stroke()
            ctx.fillStyle = chart.theme.accent
            for (let j = 0; j < points.length; ++j) {
                const q = points[j]
                if (q.loss <= 0)
                    continue
                const h = q.ms < 0 ? height : Math.max(3, height * q.loss)
                ctx.fillRect(x(q.age) - 1.5, height - h, 3, h)
            }
        }
    }

    onPointsChanged: canvas.requestPaint()
    onWidthChanged: canvas.requestPaint()
    onHeightChanged: canvas.requestPaint()
}
