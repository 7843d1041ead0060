pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts
import "WindowLogic.js" as WindowLogic

// The route choice for the current game: the first seven routes the service returned, then the rest
// as full ones. The window owns the list and the choice; this only shows them and reports clicks.
FocusScope {
    id: dialog

    property var nodes: []
    property var selectedNode: ({})
    property bool loading: false
    property string routeError: ""
    property bool loggedIn: false

    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink2: Theme.ink2(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property color accent: Theme.accent(lightMode)
    property color neon: Theme.neon(lightMode)
    property color edge: Theme.edge(lightMode)

    readonly property var routes: WindowLogic.splitRoutes(nodes)
    readonly property bool empty: routes.shown.length === 0

    signal routeChosen(var route)
    signal retryRequested()
    signal closeRequested()

    width: 500
    height: 620
    Accessible.role: Accessible.Dialog
    Accessible.name: "选择加速线路"
    Keys.onEscapePressed: closeRequested()

    PopupCard {
        anchors.fill: parent
        theme: dialog
    }

    DialogHeader {
        id: header

        width: parent.width
        theme: dialog
        title: "选择加速线路"
        subtitle: dialog.loading ? "正在获取实时线路…" : "服务端实时返回 · 请选择线路"
        onCloseRequested: dialog.closeRequested()
    }

    Text {
        visible: dialog.loading
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: "正在从服务器获取当前游戏的线路…"
        color: dialog.ink2
        font.family: Fonts.ui()
        font.pixelSize: 14
    }

    Column {
        visible: !dialog.loading && dialog.empty
        anchors.centerIn: parent
        width: parent.width - 80
        spacing: 10

        Text {
            objectName: "emptyTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: dialog.routeError !== "" ? dialog.routeError : "暂无实时线路数据"
            color: Theme.text(dialog.routeError !== "" ? dialog.accent : dialog.ink)
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: dialog.routeError !== "" ? "请检查登录状态或稍后重试" : "线路由服务端提供，不再使用本地演示数据"
            color: dialog.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Item {
            width: parent.width
            height: 8
        }

        DialogButton {
            objectName: "retryButton"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: dialog.loggedIn && !dialog.loading
            theme: dialog
            text: "重新获取"
            onActivated: dialog.retryRequested()
        }
    }

    Item {
        visible: !dialog.loading && !dialog.empty
        anchors.fill: parent
        anchors.topMargin: header.height
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.bottomMargin: 16

        Item {
            id: headings

            width: parent.width
            height: 28

            Text {
                x: 4
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: "可用线路"
                color: dialog.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }

            Text {
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: "选择对象"
                color: dialog.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }
        }

        Flickable {
            id: routeList

            objectName: "routeList"
            anchors.top: headings.bottom
            anchors.bottom: parent.bottom
            width: parent.width
            clip: true
            contentHeight: rows.height
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            Column {
                id: rows

                width: routeList.width

                Repeater {
                    model: dialog.routes.shown

                    delegate: RouteRow {
                        width: rows.width
                        theme: dialog
                        selectedNode: dialog.selectedNode
                        onActivated: route => dialog.routeChosen(route)
                    }
                }

                Text {
                    objectName: "fullHeading"
                    visible: dialog.routes.overflow.length > 0
                    height: 34
                    leftPadding: 4
                    verticalAlignment: Text.AlignBottom
                    bottomPadding: 6
                    textFormat: Text.PlainText
                    text: "已满线路 · 暂不可连接"
                    color: dialog.ink3
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }

                Repeater {
                    model: dialog.routes.overflow

                    delegate: RouteRow {
                        width: rows.width
                        theme: dialog
                        full: true
                        selectedNode: dialog.selectedNode
                        onActivated: route => dialog.routeChosen(route)
                    }
                }
            }
        }
    }
}
