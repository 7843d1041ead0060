pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts

// The route choice for the current game: the first seven routes the service returned, then the rest
// as full ones. The window owns the list and the choice; this only shows them and reports clicks.
FocusScope {
    id: dialog

    // With their figures and the selection.
    required property RouteListModel routes
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
    readonly property ThemeColors colors: ThemeColors { lightMode: dialog.lightMode }

    readonly property bool empty: routes.count === 0
    property int focusedRow: 0

    signal routeChosen(var route)
    signal retryRequested()
    signal signInRequested()
    signal closeRequested()

    // The rows in reading order: the offered routes, then the full ones.
    function routeRows() {
        const list = []
        for (let i = 0; i < rows.children.length; ++i) {
            const item = rows.children[i]
            if (item.objectName.startsWith("routeRow") || item.objectName.startsWith("fullRow"))
                list.push(item)
        }
        return list
    }

    // Arrow keys: the row above or below the focused one, kept in view; the ends stay where they are.
    function moveFocus(from, step) {
        const list = routeRows()
        const next = list[list.indexOf(from) + step]
        if (next)
            next.forceActiveFocus(Qt.TabFocusReason)
    }

    // Where the keyboard starts: the chosen route, else the first row, else the button on offer.
    function focusDefault() {
        if (!visible)
            return
        const list = dialog.loading || dialog.empty ? [] : routeRows()
        const chosen = list.find(row => row.selected) || list[0]
        if (chosen)
            chosen.forceActiveFocus(Qt.TabFocusReason)
        else if (actionButton.visible)
            actionButton.forceActiveFocus(Qt.TabFocusReason)
        else
            header.closeButton.forceActiveFocus(Qt.TabFocusReason)
    }

    // The row the keyboard was on when the list is rebuilt (a configuration arrived): the same place.
    function refocusRow() {
        const list = routeRows()
        if (!visible || !dialog.activeFocus || list.some(row => row.activeFocus) || header.closeButton.activeFocus
                || actionButton.activeFocus)
            return
        const row = list[Math.min(focusedRow, list.length - 1)]
        if (row)
            row.forceActiveFocus(Qt.OtherFocusReason)
        else
            focusDefault()
    }

    function rowFocused(row) {
        focusedRow = routeRows().indexOf(row)
        keepInView(row)
    }

    function keepInView(row) {
        const top = row.mapToItem(rows, 0, 0).y
        if (top < routeList.contentY)
            routeList.contentY = top
        else if (top + row.height > routeList.contentY + routeList.height)
            routeList.contentY = top + row.height - routeList.height
    }

    width: 500
    height: 620
    Accessible.role: Accessible.Dialog
    Accessible.name: "选择加速线路"
    Keys.onEscapePressed: closeRequested()
    // Once the rows or the button have followed the change.
    onVisibleChanged: {
        focusDefault()
        focusTimer.restart()
    }
    onLoadingChanged: focusTimer.restart()
    onEmptyChanged: focusTimer.restart()
    onLoggedInChanged: focusTimer.restart()
    onRoutesChanged: refocusTimer.restart()

    Timer {
        id: refocusTimer

        interval: 0
        onTriggered: dialog.refocusRow()
    }

    Timer {
        id: focusTimer

        interval: 0
        onTriggered: dialog.focusDefault()
    }

    PopupCard {
        anchors.fill: parent
        theme: dialog.colors
    }

    DialogHeader {
        id: header

        objectName: "routeHeader"
        width: parent.width
        theme: dialog.colors
        title: "选择加速线路"
        subtitle: !dialog.loggedIn ? "登录后才能获取线路"
                  : dialog.loading ? "正在获取线路…"
                  : dialog.routeError !== "" ? "线路获取失败"
                  : dialog.empty ? "这款游戏暂时没有可用线路"
                  : "共 " + dialog.routes.count + " 条线路 · 已满线路不可选择"
        onCloseRequested: dialog.closeRequested()
    }

    Text {
        visible: dialog.loading
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: "正在从服务器获取当前游戏的线路…"
        Accessible.role: Accessible.StaticText
        Accessible.name: text
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
            text: !dialog.loggedIn ? "登录后获取线路"
                                   : dialog.routeError !== "" ? dialog.routeError : "暂无可用线路"
            color: Theme.text(dialog.loggedIn && dialog.routeError !== "" ? dialog.accent : dialog.ink)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Text {
            objectName: "emptyHint"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            text: !dialog.loggedIn ? "线路按账号下发，登录后会自动获取这款游戏的线路"
                                   : dialog.routeError !== "" ? "请检查网络或稍后重试"
                                   : "服务端暂未给这款游戏提供线路，可稍后重新获取"
            color: dialog.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Item {
            width: parent.width
            height: 8
        }

        // Signed out the routes cannot load: the way to sign in. A failed load offers another try.
        DialogButton {
            id: actionButton

            objectName: "routeAction"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: !dialog.loading
            theme: dialog.colors
            text: !dialog.loggedIn ? "登录" : dialog.routeError !== "" ? "重试" : "重新获取"
            onActivated: {
                if (dialog.loggedIn)
                    dialog.retryRequested()
                else
                    dialog.signInRequested()
            }
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
                    model: dialog.routes.offered

                    delegate: RouteRow {
                        id: shownRow

                        width: rows.width
                        theme: dialog.colors
                        onActivated: record => dialog.routeChosen(record)
                        onStepRequested: step => dialog.moveFocus(shownRow, step)
                        onActiveFocusChanged: {
                            if (activeFocus)
                                dialog.rowFocused(shownRow)
                        }
                    }
                }

                Text {
                    objectName: "fullHeading"
                    visible: dialog.routes.overflowCount > 0
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
                        id: fullRow

                        width: rows.width
                        theme: dialog.colors
                        listedFull: true
                        onActivated: record => dialog.routeChosen(record)
                        onStepRequested: step => dialog.moveFocus(fullRow, step)
                        onActiveFocusChanged: {
                            if (activeFocus)
                                dialog.rowFocused(fullRow)
                        }
                    }
                }
            }
        }
    }
}
