.pragma library

// Pure placement and listing rules of the main window's pop-ups and dialogs. Coordinates are in the
// scene's design space; the window passes the anchor's geometry and the status bar's top edge.

const popupGap = 8
const frameInset = 8
const railMenuGap = 10

// Below the anchor when the pop-up then ends above the status bar, else above it; never above y = 8.
function popupY(anchorY, anchorHeight, popupHeight, statusBarTop) {
    const below = anchorY + anchorHeight + popupGap
    if (below + popupHeight <= statusBarTop)
        return below
    return Math.max(frameInset, anchorY - popupGap - popupHeight)
}

function clamp(value, low, high) {
    return Math.max(low, Math.min(value, high))
}

// From the rail avatar the menu opens to its right, centred on it; from the title chip it hangs under
// the chip, right-aligned with it. Either way it stays inside the frame and above the status bar.
function accountMenuPosition(source, anchorX, anchorY, anchorWidth, anchorHeight, menuWidth, menuHeight, frameWidth,
                             statusBarTop) {
    let x
    let y
    if (source === "rail-avatar") {
        x = anchorX + anchorWidth + railMenuGap
        y = anchorY + (anchorHeight - menuHeight) / 2
    } else {
        x = anchorX + anchorWidth - menuWidth
        y = anchorY + anchorHeight + popupGap
    }
    return {
        x: clamp(x, frameInset, frameWidth - frameInset - menuWidth),
        y: clamp(y, frameInset, statusBarTop - frameInset - menuHeight)
    }
}

// The account menu's state after a click on an anchor: a second click on the same anchor closes it,
// a click on the other one moves it there.
function toggledAccountMenu(open, openSource, openAnchor, source, anchor) {
    return !(open && openSource === source && openAnchor === anchor)
}

function count(value) {
    const number = Number(value)
    return isFinite(number) && number > 0 ? Math.round(number) : 0
}

// The texts of one route row (a route value of the session's route list): its detail line, the
// choice label and the load figure below it (players on the node of its capacity).
function routeRowTexts(route, full, selected) {
    const cap = count(route ? route.cap : 0)
    const load = cap > 0 ? "在线 " + count(route.cur) + "/" + cap : ""
    if (full) {
        return {
            detail: route.kindLabel === "" || route.kind === "shared" ? "线路已满" : route.kindLabel + " · 线路已满",
            choice: "已满",
            load: load !== "" ? load : "满载"
        }
    }
    return {
        detail: route.detail,
        choice: selected ? "已选择" : "选择",
        load: load !== "" ? load : "可用"
    }
}

// What a screen reader hears for a route row: the route, its region when the record names one apart
// from the name, the detail line, the latency shown, and whether it is full or chosen.
function routeAccessibleName(route, texts, latencyText, full) {
    const name = route.name
    const region = route.region
    const state = full || route.full ? "已满" : texts.choice
    return [name, name.indexOf(region) >= 0 ? "" : region, texts.detail, latencyText, state]
        .filter(part => part !== "").join("，")
}

// What the tray icon shows and its menu offers for the window and the session: the window entry
// follows whether the window is shown; the session entry is the start button's own action ("一键加速",
// "停止", or cancelling a start), with the game and route it applies to on the line above it.
// `figures` is the session's line (sessionSummary), shown under the state while boosting.
function trayMenu(windowShown, boosting, starting, gameName, line, figures) {
    const target = [gameName, line].filter(text => typeof text === "string" && text.trim() !== "")
        .map(text => text.trim()).join(" · ")
    const state = boosting ? "加速中" : starting ? "正在启动…" : "未加速"
    return {
        windowText: windowShown ? "隐藏主窗口" : "显示主窗口",
        targetText: target === "" ? "未选择游戏" : target,
        boostText: starting ? "取消启动" : boosting ? "停止" : "一键加速",
        // Some tray hosts draw a tooltip with tags in it as rich text; a service's game name must not
        // become markup there, so its angle brackets are shown as full-width look-alikes.
        tooltip: ("Nimbra加速器 · " + state + (target === "" ? "" : " · " + target)
                  + (boosting && figures ? "\n" + figures : ""))
            .replace(/</g, "\uff1c").replace(/>/g, "\uff1e"),
        icon: boosting ? "tray-on.png" : "tray-off.png"
    }
}
