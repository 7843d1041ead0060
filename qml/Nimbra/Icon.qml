import QtQuick
import Nimbra
import "IconPaths.js" as IconPaths

// A vector icon drawn on a 24 × 24 design grid and scaled to the item, so it stays sharp at any size.
Canvas {
    id: icon

    property string name: ""
    property color color: Theme.ink(false)
    property real strokeWidth: 1.7

    implicitWidth: 24
    implicitHeight: 24
    antialiasing: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onStrokeWidthChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        ctx.clearRect(0, 0, width, height)
        const painter = IconPaths.painters[name]
        if (!painter || width <= 0 || height <= 0)
            return
        ctx.save()
        ctx.scale(width / 24, height / 24)
        ctx.strokeStyle = icon.color
        ctx.fillStyle = icon.color
        ctx.lineWidth = strokeWidth
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        ctx.beginPath()
        if (painter(ctx) === "fill")
            ctx.fill()
        else
            ctx.stroke()
        ctx.restore()
    }
}
