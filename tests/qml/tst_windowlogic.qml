import QtQuick
import QtTest
import Nimbra
import "qrc:/qt/qml/Nimbra/shell/WindowLogic.js" as WindowLogic

TestCase {
    name: "WindowLogic"

    // Status bar top 806, as in the 836-high design.
    function test_popupY_data() {
        return [
            { tag: "below", anchorY: 500, anchorHeight: 40, height: 210, y: 548 },
            { tag: "ends at the status bar", anchorY: 548, anchorHeight: 40, height: 210, y: 596 },
            { tag: "above", anchorY: 600, anchorHeight: 40, height: 210, y: 382 },
            { tag: "above, kept off the top", anchorY: 100, anchorHeight: 40, height: 700, y: 8 }
        ]
    }

    function test_popupY(data) {
        compare(WindowLogic.popupY(data.anchorY, data.anchorHeight, data.height, 806), data.y)
    }

    // A 232 x 186 menu in the 1360-wide frame, status bar top 806.
    function test_accountMenuPosition_data() {
        return [
            { tag: "avatar: right, centred", source: "rail-avatar", anchor: [30, 400, 34, 34], x: 74, y: 324 },
            { tag: "avatar near the bottom", source: "rail-avatar", anchor: [30, 760, 34, 34], x: 74, y: 612 },
            { tag: "avatar near the top", source: "rail-avatar", anchor: [30, 0, 34, 34], x: 74, y: 8 },
            { tag: "chip: under, right-aligned", source: "title-account", anchor: [1000, 8, 165, 30], x: 933, y: 46 },
            { tag: "chip past the right edge", source: "title-account", anchor: [1300, 8, 165, 30], x: 1120, y: 46 },
            { tag: "chip at the left edge", source: "title-account", anchor: [0, 8, 100, 30], x: 8, y: 46 },
            { tag: "chip low down", source: "title-account", anchor: [1000, 700, 165, 30], x: 933, y: 612 }
        ]
    }

    function test_accountMenuPosition(data) {
        const a = data.anchor
        const position = WindowLogic.accountMenuPosition(data.source, a[0], a[1], a[2], a[3], 232, 186, 1360, 806)
        compare(position.x, data.x)
        compare(position.y, data.y)
    }

    function test_accountMenuToggle_data() {
        return [
            { tag: "closed opens", open: false, openSource: "title-account", openAnchor: "chip",
              source: "title-account", anchor: "chip", result: true },
            { tag: "same anchor closes", open: true, openSource: "rail-avatar", openAnchor: "avatar",
              source: "rail-avatar", anchor: "avatar", result: false },
            { tag: "avatar then chip moves", open: true, openSource: "rail-avatar", openAnchor: "avatar",
              source: "title-account", anchor: "chip", result: true },
            { tag: "chip then avatar moves", open: true, openSource: "title-account", openAnchor: "chip",
              source: "rail-avatar", anchor: "avatar", result: true }
        ]
    }

    function test_accountMenuToggle(data) {
        compare(WindowLogic.toggledAccountMenu(data.open, data.openSource, data.openAnchor, data.source, data.anchor),
                data.result)
    }

    // The route value the session's list makes of a record.
    RouteListModel {
        id: routeList
    }

    function routeValue(record) {
        routeList.setRoutes([record])
        return routeList.at(0)
    }

    function test_rowTexts_data() {
        return [
            { tag: "free with load", route: { source_group: "idc_list", note: "机房 A", cur: 3, cap: 10 }, full: false,
              selected: false, detail: "IDC 专线 · 机房 A", choice: "选择", load: "在线 3/10" },
            { tag: "selected without cap", route: { source_group: "shared_list" }, full: false, selected: true,
              detail: "可用线路", choice: "已选择", load: "可用" },
            { tag: "missing current load", route: { cap: 20 }, full: false, selected: false,
              detail: "可用线路", choice: "选择", load: "在线 0/20" },
            { tag: "full shared", route: { source_group: "shared_list", cur: 10, cap: 10 }, full: true, selected: false,
              detail: "线路已满", choice: "已满", load: "在线 10/10" },
            { tag: "full native without cap", route: { source_group: "native_list", full: true }, full: true,
              selected: false, detail: "原生住宅 · 线路已满", choice: "已满", load: "满载" }
        ]
    }

    function test_rowTexts(data) {
        const texts = WindowLogic.routeRowTexts(routeValue(data.route), data.full, data.selected)
        compare(texts.detail, data.detail)
        compare(texts.choice, data.choice)
        compare(texts.load, data.load)
    }

    // The tray's menu: the window entry follows the window, the session entry is the start button's
    // action, and the game and route line never shows an empty or blank part.
    function test_trayMenu_data() {
        return [
            { tag: "idle, shown", shown: true, boosting: false, starting: false, game: "剑网3", line: "华东 · 上海电信 BGP-3",
              window: "隐藏主窗口", boost: "一键加速", target: "剑网3 · 华东 · 上海电信 BGP-3",
              tooltip: "Nimbra加速器 · 未加速 · 剑网3 · 华东 · 上海电信 BGP-3", icon: "tray-off.png" },
            { tag: "boosting, hidden", shown: false, boosting: true, starting: false, game: "剑网3", line: "华东",
              figures: "加速时长 00:00:05", window: "显示主窗口", boost: "停止", target: "剑网3 · 华东",
              tooltip: "Nimbra加速器 · 加速中 · 剑网3 · 华东\n加速时长 00:00:05", icon: "tray-on.png" },
            { tag: "starting cancels", shown: false, boosting: false, starting: true, game: "剑网3", line: " ",
              figures: "加速时长 00:00:05",
              window: "显示主窗口", boost: "取消启动", target: "剑网3", tooltip: "Nimbra加速器 · 正在启动… · 剑网3",
              icon: "tray-off.png" },
            { tag: "markup in a name", shown: true, boosting: false, starting: false, game: "<b>剑网3</b>", line: "",
              window: "隐藏主窗口", boost: "一键加速", target: "<b>剑网3</b>", tooltip: "Nimbra加速器 · 未加速 · ＜b＞剑网3＜/b＞",
              icon: "tray-off.png" },
            { tag: "no game yet", shown: true, boosting: false, starting: false, game: undefined, line: "",
              window: "隐藏主窗口", boost: "一键加速", target: "未选择游戏", tooltip: "Nimbra加速器 · 未加速",
              icon: "tray-off.png" }
        ]
    }

    function test_trayMenu(data) {
        const menu = WindowLogic.trayMenu(data.shown, data.boosting, data.starting, data.game, data.line,
                                         data.figures)
        compare(menu.windowText, data.window)
        compare(menu.boostText, data.boost)
        compare(menu.targetText, data.target)
        compare(menu.tooltip, data.tooltip)
        compare(menu.icon, data.icon)
    }
}
