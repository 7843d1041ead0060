.pragma library

// The icons on a 24 x 24 grid, shared by every icon: each is one SVG path, filled or stroked.

function circle(x, y, r) {
    return `M${x + r} ${y} A${r} ${r} 0 1 1 ${x - r} ${y} A${r} ${r} 0 1 1 ${x + r} ${y} Z`
}

function roundedRect(x, y, w, h, r) {
    return `M${x + r} ${y} H${x + w - r} A${r} ${r} 0 0 1 ${x + w} ${y + r} V${y + h - r}`
         + ` A${r} ${r} 0 0 1 ${x + w - r} ${y + h} H${x + r} A${r} ${r} 0 0 1 ${x} ${y + h - r} V${y + r}`
         + ` A${r} ${r} 0 0 1 ${x + r} ${y} Z`
}

function spokes() {
    let path = ""
    for (let i = 0; i < 8; ++i) {
        const a = i * Math.PI / 4
        path += ` M${12 + 7.2 * Math.cos(a)} ${12 + 7.2 * Math.sin(a)} L${12 + 9.2 * Math.cos(a)} ${12 + 9.2 * Math.sin(a)}`
    }
    return path
}

function filled(path) {
    return { fill: true, path: path }
}

function stroked(...parts) {
    return { fill: false, path: parts.join(" ") }
}

// The half-circles of "link" open towards each other along the diagonal, with short legs.
const linkEnd = 4 * Math.SQRT1_2

const glyphs = {
    bolt: filled("M13 2 L5 13.5 L10.5 13.5 L9.5 22 L17.5 10.5 L12 10.5 Z"),
    game: stroked(roundedRect(2.5, 6.5, 19, 12, 3.5), "M7 10.3 V14.7 M4.8 12.5 H9.2", circle(15.5, 11.2, 0.6),
                  circle(18, 13.8, 0.6)),
    crown: filled("M3 8.5 L7.5 11.5 L12 5 L16.5 11.5 L21 8.5 L19.4 19 L4.6 19 Z"),
    gear: stroked(circle(12, 12, 3.2), circle(12, 12, 7.2), spokes()),
    search: stroked(circle(11, 11, 7), "M16.2 16.2 L20 20"),
    user: stroked(circle(12, 8.5, 3.5), "M5 20 A7 7 0 0 1 19 20"),
    bell: stroked("M4 17 Q6 15 6 11 A6 6 0 0 1 18 11 Q18 15 20 17 Z",
                  `M${12 + Math.sqrt(3)} 21 A2 2 0 0 1 ${12 - Math.sqrt(3)} 21`),
    chevron: stroked("M6 9 L12 15 L18 9"),
    check: stroked("M5 12.5 L9.5 17 L19 7.5"),
    close: stroked("M6 6 L18 18 M18 6 L6 18"),
    min: filled("M2 11 H22 V12.2 H2 Z"),
    max: stroked("M4 4 H20 V20 H4 Z"),
    history: stroked(circle(12, 12, 8.5), "M12 7.5 L12 12 L15 14"),
    link: stroked(`M${15.5 + linkEnd - 1.8} ${8.5 + linkEnd + 1.8} L${15.5 + linkEnd} ${8.5 + linkEnd}`
                  + ` A4 4 0 0 0 ${15.5 - linkEnd} ${8.5 - linkEnd} L${15.5 - linkEnd - 1.8} ${8.5 - linkEnd + 1.8}`,
                  `M${8.5 - linkEnd + 1.8} ${15.5 - linkEnd - 1.8} L${8.5 - linkEnd} ${15.5 - linkEnd}`
                  + ` A4 4 0 0 0 ${8.5 + linkEnd} ${15.5 + linkEnd} L${8.5 + linkEnd + 1.8} ${15.5 + linkEnd - 1.8}`,
                  "M9.8 14.2 L14.2 9.8"),
    pin: stroked("M12 21 C12 21 5 14.5 5 10 A7 7 0 0 1 19 10 C19 14.5 12 21 12 21 Z", circle(12, 10, 2.5)),
    headset: stroked("M4 15 L4 13 A8 8 0 0 1 20 13 L20 15", roundedRect(3, 13.5, 4, 6.5, 1.5),
                     roundedRect(17, 13.5, 4, 6.5, 1.5)),
    sparkle: stroked("M12 3 Q13 9 19 10 Q13 11 12 17 Q11 11 5 10 Q11 9 12 3 Z"),
    globe: stroked(circle(12, 12, 8.5), "M3.5 12 H20.5", "M15.2 12 A3.2 8.5 0 1 1 8.8 12 A3.2 8.5 0 1 1 15.2 12"),
    stop: filled(roundedRect(6, 6, 12, 12, 2)),
    phone: stroked(roundedRect(7, 3.5, 10, 17, 2.5), "M10.5 6.2 H13.5"),
    shield: stroked("M12 3 L19 6 L19 11 C19 15.5 16 19 12 21 C8 19 5 15.5 5 11 L5 6 Z"),
    lock: stroked(roundedRect(4.5, 10.5, 15, 9.5, 2), "M8 10.5 L8 7.5 A4 4 0 0 1 16 7.5 L16 10.5"),
    chat: stroked("M7 17 L4.5 20 L4.5 16.3 Q3.5 15.5 3.5 14 L3.5 7.5 Q3.5 4.5 6.5 4.5 L17.5 4.5"
                  + " Q20.5 4.5 20.5 7.5 L20.5 14 Q20.5 17 17.5 17 Z", circle(9.5, 10.8, 0.6), circle(14.5, 10.8, 0.6)),
    arrow: stroked("M5 12 L19 12 M13 6 L19 12 L13 18"),
    warning: stroked("M12 3.5 L21.5 20 L2.5 20 Z M12 9.5 L12 14", circle(12, 17, 0.6))
}

// A name not listed draws nothing.
function glyph(name) {
    return glyphs[name] || { fill: false, path: "" }
}
