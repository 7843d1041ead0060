.pragma library

// The icons' paths on a 24 x 24 grid, shared by every icon: each painter adds its paths to a 2D context
// and says whether they are filled or stroked.

function circle(ctx, x, y, r) {
    ctx.moveTo(x + r, y)
    ctx.arc(x, y, r, 0, Math.PI * 2, false)
}

function polyline(ctx, points) {
    ctx.moveTo(points[0], points[1])
    for (let i = 2; i < points.length; i += 2)
        ctx.lineTo(points[i], points[i + 1])
}

function polygon(ctx, points) {
    polyline(ctx, points)
    ctx.closePath()
}

const painters = {
    bolt: ctx => {
        polygon(ctx, [13, 2, 5, 13.5, 10.5, 13.5, 9.5, 22, 17.5, 10.5, 12, 10.5])
        return "fill"
    },
    game: ctx => {
        ctx.roundedRect(2.5, 6.5, 19, 12, 3.5, 3.5)
        polyline(ctx, [7, 10.3, 7, 14.7])
        polyline(ctx, [4.8, 12.5, 9.2, 12.5])
        circle(ctx, 15.5, 11.2, 0.6)
        circle(ctx, 18, 13.8, 0.6)
        return "stroke"
    },
    crown: ctx => {
        polygon(ctx, [3, 8.5, 7.5, 11.5, 12, 5, 16.5, 11.5, 21, 8.5, 19.4, 19, 4.6, 19])
        return "fill"
    },
    gear: ctx => {
        circle(ctx, 12, 12, 3.2)
        circle(ctx, 12, 12, 7.2)
        for (let i = 0; i < 8; ++i) {
            const a = i * Math.PI / 4
            polyline(ctx, [12 + 7.2 * Math.cos(a), 12 + 7.2 * Math.sin(a),
                           12 + 9.2 * Math.cos(a), 12 + 9.2 * Math.sin(a)])
        }
        return "stroke"
    },
    search: ctx => {
        circle(ctx, 11, 11, 7)
        polyline(ctx, [16.2, 16.2, 20, 20])
        return "stroke"
    },
    user: ctx => {
        circle(ctx, 12, 8.5, 3.5)
        ctx.moveTo(5, 20)
        ctx.arc(12, 20, 7, Math.PI, Math.PI * 2, false)
        return "stroke"
    },
    bell: ctx => {
        ctx.moveTo(4, 17)
        ctx.quadraticCurveTo(6, 15, 6, 11)
        ctx.arc(12, 11, 6, Math.PI, Math.PI * 2, false)
        ctx.quadraticCurveTo(18, 15, 20, 17)
        ctx.closePath()
        ctx.moveTo(12 + 2 * Math.cos(Math.PI / 6), 20 + 2 * Math.sin(Math.PI / 6))
        ctx.arc(12, 20, 2, Math.PI / 6, Math.PI * 5 / 6, false)
        return "stroke"
    },
    chevron: ctx => {
        polyline(ctx, [6, 9, 12, 15, 18, 9])
        return "stroke"
    },
    check: ctx => {
        polyline(ctx, [5, 12.5, 9.5, 17, 19, 7.5])
        return "stroke"
    },
    close: ctx => {
        polyline(ctx, [6, 6, 18, 18])
        polyline(ctx, [18, 6, 6, 18])
        return "stroke"
    },
    min: ctx => {
        ctx.rect(2, 11, 20, 1.2)
        return "fill"
    },
    max: ctx => {
        ctx.rect(4, 4, 16, 16)
        return "stroke"
    },
    history: ctx => {
        circle(ctx, 12, 12, 8.5)
        polyline(ctx, [12, 7.5, 12, 12, 15, 14])
        return "stroke"
    },
    link: ctx => {
        // Each half-circle opens towards the other along the diagonal, with short legs, and a
        // line joins the two links.
        const d = 4 * Math.SQRT1_2
        ctx.moveTo(15.5 + d - 1.8, 8.5 + d + 1.8)
        ctx.lineTo(15.5 + d, 8.5 + d)
        ctx.arc(15.5, 8.5, 4, Math.PI / 4, -Math.PI * 3 / 4, true)
        ctx.lineTo(15.5 - d - 1.8, 8.5 - d + 1.8)
        ctx.moveTo(8.5 - d + 1.8, 15.5 - d - 1.8)
        ctx.lineTo(8.5 - d, 15.5 - d)
        ctx.arc(8.5, 15.5, 4, -Math.PI * 3 / 4, Math.PI / 4, true)
        ctx.lineTo(8.5 + d + 1.8, 15.5 + d - 1.8)
        polyline(ctx, [9.8, 14.2, 14.2, 9.8])
        return "stroke"
    },
    pin: ctx => {
        ctx.moveTo(12, 21)
        ctx.bezierCurveTo(12, 21, 5, 14.5, 5, 10)
        ctx.arc(12, 10, 7, Math.PI, Math.PI * 2, false)
        ctx.bezierCurveTo(19, 14.5, 12, 21, 12, 21)
        ctx.closePath()
        circle(ctx, 12, 10, 2.5)
        return "stroke"
    },
    headset: ctx => {
        ctx.moveTo(4, 15)
        ctx.lineTo(4, 13)
        ctx.arc(12, 13, 8, Math.PI, Math.PI * 2, false)
        ctx.lineTo(20, 15)
        ctx.roundedRect(3, 13.5, 4, 6.5, 1.5, 1.5)
        ctx.roundedRect(17, 13.5, 4, 6.5, 1.5, 1.5)
        return "stroke"
    },
    sparkle: ctx => {
        ctx.moveTo(12, 3)
        ctx.quadraticCurveTo(13, 9, 19, 10)
        ctx.quadraticCurveTo(13, 11, 12, 17)
        ctx.quadraticCurveTo(11, 11, 5, 10)
        ctx.quadraticCurveTo(11, 9, 12, 3)
        ctx.closePath()
        return "stroke"
    },
    globe: ctx => {
        circle(ctx, 12, 12, 8.5)
        polyline(ctx, [3.5, 12, 20.5, 12])
        ctx.ellipse(12 - 3.2, 12 - 8.5, 6.4, 17)
        return "stroke"
    },
    stop: ctx => {
        ctx.roundedRect(6, 6, 12, 12, 2, 2)
        return "fill"
    },
    phone: ctx => {
        ctx.roundedRect(7, 3.5, 10, 17, 2.5, 2.5)
        polyline(ctx, [10.5, 6.2, 13.5, 6.2])
        return "stroke"
    },
    shield: ctx => {
        ctx.moveTo(12, 3)
        ctx.lineTo(19, 6)
        ctx.lineTo(19, 11)
        ctx.bezierCurveTo(19, 15.5, 16, 19, 12, 21)
        ctx.bezierCurveTo(8, 19, 5, 15.5, 5, 11)
        ctx.lineTo(5, 6)
        ctx.closePath()
        return "stroke"
    },
    lock: ctx => {
        ctx.roundedRect(4.5, 10.5, 15, 9.5, 2, 2)
        ctx.moveTo(8, 10.5)
        ctx.lineTo(8, 7.5)
        ctx.arc(12, 7.5, 4, Math.PI, Math.PI * 2, false)
        ctx.lineTo(16, 10.5)
        return "stroke"
    },
    chat: ctx => {
        ctx.moveTo(7, 17)
        ctx.lineTo(4.5, 20)
        ctx.lineTo(4.5, 16.3)
        ctx.quadraticCurveTo(3.5, 15.5, 3.5, 14)
        ctx.lineTo(3.5, 7.5)
        ctx.quadraticCurveTo(3.5, 4.5, 6.5, 4.5)
        ctx.lineTo(17.5, 4.5)
        ctx.quadraticCurveTo(20.5, 4.5, 20.5, 7.5)
        ctx.lineTo(20.5, 14)
        ctx.quadraticCurveTo(20.5, 17, 17.5, 17)
        ctx.closePath()
        circle(ctx, 9.5, 10.8, 0.6)
        circle(ctx, 14.5, 10.8, 0.6)
        return "stroke"
    },
    arrow: ctx => {
        polyline(ctx, [5, 12, 19, 12])
        polyline(ctx, [13, 6, 19, 12, 13, 18])
        return "stroke"
    },
    warning: ctx => {
        polygon(ctx, [12, 3.5, 21.5, 20, 2.5, 20])
        polyline(ctx, [12, 9.5, 12, 14])
        circle(ctx, 12, 17, 0.6)
        return "stroke"
    }
}
