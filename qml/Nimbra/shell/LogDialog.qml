pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts

// The in-app run log, newest last: the player's log (what the acceleration did) by default, the full
// technical log behind a switch. It jumps to the end when shown and whenever new lines arrive in the log
// shown; the core's output reaches only the technical log, so it never moves the player's.
FocusScope {
    id: dialog

    required property RunLogModel log
    required property RunLogModel playerLog
    property bool technical: false
    readonly property RunLogModel shownLog: technical ? log : playerLog
    readonly property int added: shownLog.added
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

    // Copies every line of the log shown.
    signal copyRequested(bool technical)
    signal clearRequested()
    signal closeRequested()


    Accessible.role: Accessible.Dialog
    Accessible.name: "运行日志"
    Keys.onEscapePressed: closeRequested()
    onVisibleChanged: {
        if (visible)
            followTimer.restart()
    }
    onTechnicalChanged: followTimer.restart()
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
        subtitle: dialog.technical ? "技术日志 · 客户端与加速内核的全部输出"
                                   : (dialog.running ? "加速中 · 启动、线路、测速与异常记录"
                                                     : "加速的启动、线路、测速与异常记录")
        onCloseRequested: dialog.closeRequested()

        Text {
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: "技术日志"
            color: dialog.ink2
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        ToggleSwitch {
            objectName: "technicalSwitch"
            anchors.verticalCenter: parent.verticalCenter
            label: "显示技术日志"
            checked: dialog.technical
            lightMode: dialog.lightMode
            onToggled: dialog.technical = !dialog.technical
        }

        DialogButton {
            objectName: "copyButton"
            theme: dialog.colors
            text: "复制全部"
            accessibleName: dialog.technical ? "复制全部技术日志" : "复制全部加速记录"
            onActivated: dialog.copyRequested(dialog.technical)
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
        // Its full height where the dialog has room; on a small one the log keeps most of the space.
        height: visible ? Math.max(110, Math.min(implicitHeight, dialog.height * 0.32)) : 0
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
            text: dialog.technical ? "暂无运行日志" : "暂无加速记录，开始加速后会显示在这里"
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
            model: dialog.shownLog
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
