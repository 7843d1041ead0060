import QtQuick
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"

// The route dialog over the dimming mask: ten routes of every kind with the second chosen (left),
// the same list scrolled to its full ones, a failed load, and signed out (right); the rows show each
// state of a measured figure and full routes among the offered ones.
Rectangle {
    id: scene

    property bool lightMode: false
    readonly property var records: [
        { id: "n1", name: "华东 · 上海电信 BGP-3", source_group: "native_list", note: "上海住宅 IP", cur: 12, cap: 50 },
        { id: "n2", name: "华南 · 广州移动 IDC", source_group: "idc_list", note: "广州机房", cur: 31, cap: 60 },
        { id: "n3", name: "华北 · 北京联通", source_group: "isp_list", note: "联通直连" },
        { id: "n4", name: "共享 · 香港 HKT", source_group: "shared_list", note: "香港共享出口", cur: 80, cap: 120 },
        { id: "n5", name: "西南 · 成都电信", note: "电信" },
        { id: "n6", name: "华中 · 武汉移动", source_group: "idc_list", note: "武汉机房", full: true, cur: 40, cap: 40 },
        { id: "n7", name: "东北 · 沈阳联通", source_group: "isp_list" },
        { id: "n8", name: "共享 · 新加坡", source_group: "shared_list", cur: 120, cap: 120 },
        { id: "n9", name: "日本 · 东京住宅", source_group: "home_list", full: true },
        { id: "n10", name: "韩国 · 首尔机房", source_group: "idc_list", cur: 60, cap: 60 }
    ]

    RouteListModel {
        id: listed
    }

    RouteListModel {
        id: failed
    }

    // The second route chosen; figures in each state a row can show.
    Component.onCompleted: {
        listed.setRoutes(records)
        listed.setSelected(records[1])
        listed.showFigure("n1", "23 ms")
        listed.showFigure("n2", "41 ms", "丢包 20%")
        listed.showFigure("n3", "测速中…")
        listed.showFigure("n4", "超时")
        listed.showFigure("n5", "UDP 节点")
    }

    function scrollToEnd(item) {
        if (item.objectName === "routeList") {
            item.contentY = item.contentHeight - item.height
            return
        }
        for (let i = 0; i < item.children.length; ++i)
            scrollToEnd(item.children[i])
    }

    width: 4 * 500 + 5 * 24
    height: 620 + 48
    color: lightMode ? "#e9eff7" : "#070c18"

    Rectangle {
        anchors.fill: parent
        color: scene.lightMode ? "#52000000" : "#85000000"
    }

    // Once the rows are laid out.
    Timer {
        interval: 300
        running: true
        onTriggered: scene.scrollToEnd(scrolled)
    }

    Row {
        x: 24
        y: 24
        spacing: 24

        RouteDialog {
            lightMode: scene.lightMode
            routes: listed
            loggedIn: true
        }

        RouteDialog {
            id: scrolled

            lightMode: scene.lightMode
            routes: listed
            loggedIn: true
        }

        RouteDialog {
            lightMode: scene.lightMode
            routes: failed
            routeError: "线路加载失败"
            loggedIn: true
        }

        RouteDialog {
            lightMode: scene.lightMode
            routes: failed
            loggedIn: false
        }
    }
}
