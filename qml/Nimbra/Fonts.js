.pragma library

// The designed faces ship with Windows only. Elsewhere Noto Sans CJK SC carries the Chinese text with
// the simplified-Chinese glyph forms; letting the system pick a fallback per glyph could mix in the
// Japanese forms of the same characters.
const cjkFallback = "Noto Sans CJK SC"

let resolved = null

function pick(installed, wanted) {
    if (installed.indexOf(wanted) >= 0)
        return wanted
    return installed.indexOf(cjkFallback) >= 0 ? cjkFallback : wanted
}

function families() {
    if (resolved === null) {
        const installed = Qt.fontFamilies()
        resolved = { ui: pick(installed, "Microsoft YaHei UI"), latin: pick(installed, "Segoe UI") }
    }
    return resolved
}

// Chinese text.
function ui() {
    return families().ui
}

// Latin labels (tile labels, figures).
function latin() {
    return families().latin
}
