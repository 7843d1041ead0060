import QtQuick
import QtTest
import Nimbra

// Every text colour against the surfaces the views lay it on, in both themes, measured as WCAG
// contrast and held to AA: 4.5:1, or 3:1 for text of 18 px and more or bold from 14 px. A translucent
// text or surface is laid over what lies under it, and a surface over the page's gradient is measured
// at each of its stops. The table is printed for review.
TestCase {
    name: "Contrast"

    // The page's backdrop, top to bottom: anything on the page may sit on any stop.
    function pageStops(light) {
        return [Theme.darkBg(light), Theme.backdropMid(light), Theme.backdropEnd(light)]
    }

    // Surfaces by name: the opaque colours text is finally drawn on.
    function surfaces(name, light) {
        const overPage = fill => pageStops(light).map(stop => Qt.tint(stop, fill))
        // Badges and selected chips: a light wash of the token's own hue over a card.
        const tinted = (token, alpha) => overPage(Theme.cardFill(light)).map(s => Qt.tint(s, Qt.alpha(token, alpha)))
        switch (name) {
        case "page": return pageStops(light)
        case "accent badge": return tinted(Theme.accent(light), 0.18)
        case "neon badge": return tinted(Theme.neon(light), 0.16)
        case "primary chip": return tinted(Theme.primary(light), 0.18)
        case "card": return overPage(Theme.cardFill(light))
        case "control": return overPage(Theme.controlFill(light))
        case "input": return overPage(Theme.inputFill(light))
        case "popup": return [Theme.popupSurface(light)]
        case "toast": return overPage(Theme.toastFill(light))
        case "auth button": return [Qt.lighter(Theme.primary(light), 1.08), Qt.darker(Theme.primary(light), 1.35)]
        case "solid chip": return [Theme.primaryText(light)]
        case "boost idle": return [Theme.boostStart(light), Theme.boostEnd(light)]
        case "boost running": return [Theme.stopStart, Theme.stopEnd]
        case "vip badge": return [Theme.vipBadge]
        case "pay button": return [Theme.payStart(light), Theme.payEnd(light)]
        case "avatar": return [Theme.primary(light), Theme.accent(light)]
        }
        fail("unknown surface " + name)
    }

    // Text tokens by name, with the surfaces each is used on and the smallest size it is used at.
    readonly property var uses: [
        { text: "ink", on: ["page", "card", "control", "popup", "toast", "input"], size: 12 },
        { text: "ink2", on: ["page", "card", "control", "popup"], size: 12 },
        { text: "ink3 (captions, placeholders)", on: ["page", "card", "control", "popup", "input"], size: 11 },
        { text: "accentText", on: ["page", "card", "control", "popup", "accent badge"], size: 11 },
        { text: "neonText", on: ["page", "card", "control", "popup", "neon badge"], size: 12 },
        { text: "primaryText", on: ["page", "card", "popup", "input", "primary chip"], size: 12 },
        { text: "memberText", on: ["popup"], size: 12 },
        { text: "onPrimary", on: ["auth button"], size: 15, bold: true },
        { text: "onPrimary", on: ["solid chip"], size: 12 },
        { text: "boost label", on: ["boost idle"], size: 20, bold: true },
        { text: "boost running label", on: ["boost running"], size: 20, bold: true },
        { text: "vipText", on: ["vip badge"], size: 11, bold: true },
        { text: "brightInk", on: ["pay button"], size: 16, bold: true },
        { text: "brightInk", on: ["avatar"], size: 14, bold: true }
    ]

    function textColour(name, light) {
        switch (name) {
        case "ink": return Theme.ink(light)
        case "ink2": return Theme.ink2(light)
        case "ink3 (captions, placeholders)": return Theme.ink3(light)
        case "accentText": return Theme.accentText(light)
        case "neonText": return Theme.neonText(light)
        case "primaryText": return Theme.primaryText(light)
        case "memberText": return Theme.memberText(light)
        case "onPrimary": return Theme.onPrimary(light)
        case "boost label": return "#06281a"
        case "boost running label": return "#ffffff"
        case "vipText": return Theme.vipText
        case "brightInk": return Theme.brightInk
        }
        fail("unknown text " + name)
    }

    // A colour object whatever form the token comes in (a tint with nothing gives the base back).
    function rgb(c) {
        return Qt.tint(c, "#00000000")
    }

    function channel(v) {
        return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
    }

    function luminance(value) {
        const c = rgb(value)
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
    }

    function ratio(a, b) {
        const la = luminance(a)
        const lb = luminance(b)
        return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
    }

    function needed(use) {
        return use.size >= 18 || (use.bold && use.size >= 14) ? 3 : 4.5
    }

    function test_textMeetsAA_data() {
        const rows = []
        for (const light of [false, true]) {
            for (const use of uses) {
                for (const surface of use.on)
                    rows.push({ tag: (light ? "light " : "dark ") + use.text + " on " + surface, light: light,
                                use: use, surface: surface })
            }
        }
        return rows
    }

    function test_textMeetsAA(data) {
        let worst = Infinity
        for (const under of surfaces(data.surface, data.light)) {
            // Text drawn with its own alpha over the surface.
            const text = Qt.tint(under, textColour(data.use.text, data.light))
            worst = Math.min(worst, ratio(text, under))
        }
        const need = needed(data.use)
        console.log("contrast | " + (data.light ? "light" : "dark ") + " | " + data.use.text + " | " + data.surface
                    + " | " + data.use.size + (data.use.bold ? " px bold" : " px") + " | " + worst.toFixed(2)
                    + " | " + need)
        verify(worst >= need, data.tag + ": " + worst.toFixed(2) + " < " + need)
    }

    // The text form of a bright token is what text gets; other colours pass through unchanged.
    function test_textForm_data() {
        const rows = []
        for (const light of [false, true]) {
            const theme = light ? "light " : "dark "
            rows.push({ tag: theme + "accent", given: Theme.accent(light), expected: Theme.accentText(light) })
            rows.push({ tag: theme + "neon", given: Theme.neon(light), expected: Theme.neonText(light) })
            rows.push({ tag: theme + "primary", given: Theme.primary(light), expected: Theme.primaryText(light) })
            rows.push({ tag: theme + "ink", given: Theme.ink(light), expected: Theme.ink(light) })
        }
        return rows
    }

    function test_textForm(data) {
        verify(Qt.colorEqual(Theme.text(data.given), data.expected), data.tag)
    }
}
