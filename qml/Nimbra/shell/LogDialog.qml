pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts

// The in-app run log: the window's entries, newest last. It jumps to the end when shown and whenever
// new lines arrive while it is shown.
FocusScope {
    id: dialog

    required property RunLogModel log
    readonly property int added: log.added
    property bool running: false
    // The measured latency of the last 60 s, shown above the log while acceleration runs.
    required property LatencyHistoryModel history

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

    signal copyRequested()
    signal clearRequested()
    signal closeRequested()


    Accessible.role: Accessible.Dialog
    Accessible.name: "运行日志"
    Keys.onEscapePressed: closeRequested()
    onVisibleChanged: {
        if (visible)
            followTimer.restart()
    }
    // New lines arrived (at the cap as many old ones left): the list has taken them already, so it
    // moves in the same turn and the frame shows the end at once.
    onAddedChanged: {
        if (visible)
            logList.positionViewAtEnd()
    }

    // On showing, waits a turn, so the list has laid out its entries before it moves.
    Timer {
        id: followTimer

        interval: 0
        onTriggered: {
            if (dialog.visible)
                logList.positionViewAtEnd()
        }
    }

    PopupCard {
        anchors.fill: parent
        theme: dialog.colors
    }

    DialogHeader {
        id: header

        width: parent.width
        theme: dialog.colors
        title: "运行日志"
        subtitle: dialog.running ? "运行中 · 实时输出 + HTTP 调试" : "显示最近运行与 HTTP 调试记录"
        onCloseRequested: dialog.closeRequested()

        DialogButton {
            objectName: "copyButton"
            theme: dialog.colors
            text: "复制全部"
            onActivated: dialog.copyRequested()
        }

        DialogButton {
            objectName: "clearButton"
            theme: dialog.colors
            text: "清空"
            tint: dialog.accent
            onActivated: dialog.clearRequested()
        }
    }

    LatencyChart {
        id: latencyChart

        objectName: "latencyChart"
        x: 24
        y: header.height
        width: parent.width - 48
        height: visible ? implicitHeight : 0
        visible: dialog.running && dialog.history.count > 0
        history: dialog.history
        theme: dialog.colors
    }

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: header.height + (latencyChart.visible ? latencyChart.height + 10 : 0)
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.bottomMargin: 20
        radius: 12
        color: Qt.alpha(dialog.ink, 0.03)
        border.width: 1
        border.color: Qt.alpha(dialog.ink, 0.08)

        Text {
            objectName: "emptyText"
            visible: logList.count === 0
            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: "暂无运行日志"
            color: dialog.ink3
            font.family: Fonts.ui()
            font.pixelSize: 13
        }

        ListView {
            id: logList

            objectName: "logList"
            anchors.fill: parent
            anchors.margins: 8
            clip: true
            model: dialog.log
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            delegate: Rectangle {
                id: entry

                required property string time
                required property string text
                required property bool error

                width: ListView.view.width
                height: Math.max(timeText.implicitHeight, messageText.implicitHeight) + 8
                radius: 6
                color: error ? Qt.alpha(dialog.accent, 0.1) : "transparent"

                Text {
                    id: timeText

                    x: 8
                    y: 4
                    width: 64
                    textFormat: Text.PlainText
                    text: entry.time
                    color: dialog.ink3
                    font.family: Fonts.latin()
                    font.pixelSize: Theme.textSize(12)
                }

                Text {
                    id: messageText

                    anchors.left: timeText.right
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    y: 4
                    textFormat: Text.PlainText
                    text: entry.text
                    wrapMode: Text.Wrap
                    color: Theme.text(entry.error ? dialog.accent : dialog.ink2)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }
}
