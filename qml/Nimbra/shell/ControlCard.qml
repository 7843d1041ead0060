pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import Nimbra
import "../Fonts.js" as Fonts
import "../SessionLogic.js" as Session
import "../games/GameListLogic.js" as GameLogic

// The bottom of the hero: the current game, the live figures, the acceleration button and, below a
// divider, the selector row with the hit layer that takes its clicks. 双网防丢包 is shown unavailable:
// sending the game's traffic over two paths needs the core and the node, which do not offer it; the
// stored setting is kept for when they do.
GlassCard {
    id: card

    required property AccelerationSession session
    required property bool dawn
    required property string assetRoot
    required property string mode
    // Which of the selectors' menus or dialogs is open, and whether the selectors take clicks at all
    // (only on the home page with no dialog over it).
    required property bool serverMenuOpen
    required property bool routeDialogOpen
    required property bool modeMenuOpen
    required property bool selectorsActive
    readonly property var game: session.choice.selectedGame
    readonly property alias regionSelector: region
    readonly property alias modeSelector: modeBox

    signal serverMenuRequested()
    signal routeDialogRequested()
    signal modeMenuRequested()

    // While accelerating, the session's strip sits on top; the card grows upwards by it (it is anchored
    // at the bottom), so everything below stays where it was.
    readonly property int stripHeight: session.controller.boosting ? 40 : 0

    height: 150 + stripHeight
    lightMode: dawn
    darkSurface: Theme.controlFill(false)
    lightSurface: Theme.controlFill(true)

    GameTile {
        id: tile

        x: 20
        y: 18 + card.stripHeight
        large: true
        label: String(card.game.en || "GAME")
        hue: Number(card.game.hue) || 0
        imageSource: GameLogic.imageSource(card.game, card.assetRoot, "icon")
    }

    Column {
        anchors.left: tile.right
        anchors.leftMargin: 14
        anchors.verticalCenter: tile.verticalCenter
        width: 210
        spacing: 4

        Row {
            spacing: 8

            Text {
                objectName: "currentGameName"
                textFormat: Text.PlainText
                text: String(card.game.name || card.game.title || "")
                Accessible.role: Accessible.StaticText
                Accessible.name: "当前游戏：" + text
                color: Theme.ink(card.dawn)
                width: Math.min(implicitWidth, 160)
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 18
                font.bold: true
            }

            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                visible: card.game.hot === true
                width: 36
                height: 18
                radius: 9
                color: Qt.alpha(Theme.accent(card.dawn), 0.18)

                Text {
                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: "热门"
                    color: Theme.text(Theme.accent(card.dawn))
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(11)
                }
            }
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: String(card.game.vendor || "")
            color: Theme.ink3(card.dawn)
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    // The node latency beside the game, always (the TCP handshake time to the route's node).
    Column {
        id: latencyFigure

        readonly property string hint: "节点延迟是本机与加速节点建立 TCP 连接（握手）所用的时间"

        x: 320
        anchors.verticalCenter: tile.verticalCenter
        spacing: 2

        HoverHandler {
            id: latencyHover
        }

        ToolTip.visible: latencyHover.hovered
        ToolTip.delay: 400
        ToolTip.text: hint

        Text {
            objectName: "cardLatency"
            textFormat: Text.PlainText
            text: card.session.measurement.latencyText
            Accessible.role: Accessible.StaticText
            Accessible.name: "节点延迟 " + text
            Accessible.description: latencyFigure.hint
            color: Theme.ink(card.dawn)
            font.family: Fonts.latin()
            font.pixelSize: 22
            font.bold: true
        }

        Text {
            textFormat: Text.PlainText
            text: card.session.controller.boosting ? "节点延迟" : "节点延迟 · 未加速"
            color: Theme.text(card.session.controller.boosting ? Theme.neon(card.dawn) : Theme.accent(card.dawn))
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(11)
        }
    }

    // The session's strip: its duration, the mean node latency of its measured rounds, and the traffic
    // through the core's TUN interface (rates and totals since the start).
    Row {
        id: strip

        readonly property var controller: card.session.controller

        x: 20
        y: 12
        height: 22
        spacing: 26
        visible: card.stripHeight > 0

        Repeater {
            model: [
                { objectName: "cardDuration", label: "加速时长",
                  value: Session.formatDuration(strip.controller.boostSeconds) },
                { objectName: "cardAverageLatency", label: "平均节点延迟",
                  value: strip.controller.averageLatencyText },
                { objectName: "cardUpload", label: "加速流量 ↑",
                  value: Session.formatNetworkRate(App.singBoxManager.uploadBytesPerSecond) + " · 共 "
                         + Session.formatBytes(strip.controller.sessionSentBytes),
                  spoken: "加速流量 上传" },
                { objectName: "cardDownload", label: "↓",
                  value: Session.formatNetworkRate(App.singBoxManager.downloadBytesPerSecond) + " · 共 "
                         + Session.formatBytes(strip.controller.sessionReceivedBytes),
                  spoken: "加速流量 下载" }
            ]

            Row {
                id: entry

                required property var modelData

                anchors.verticalCenter: parent.verticalCenter
                spacing: 6

                Text {
                    anchors.baseline: value.baseline
                    textFormat: Text.PlainText
                    text: entry.modelData.label
                    color: Theme.ink3(card.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }

                Text {
                    id: value

                    objectName: entry.modelData.objectName
                    textFormat: Text.PlainText
                    text: entry.modelData.value
                    Accessible.role: Accessible.StaticText
                    Accessible.name: (entry.modelData.spoken || entry.modelData.label) + " " + text
                    color: Theme.ink(card.dawn)
                    font.family: Fonts.latin()
                    font.pixelSize: 14
                    font.bold: true
                }
            }
        }
    }

    Rectangle {
        x: 20
        y: 40
        width: parent.width - 40
        height: 1
        visible: strip.visible
        color: Theme.ink4(card.dawn)
        opacity: 0.6
    }

    BoostButton {
        anchors.right: parent.right
        anchors.rightMargin: 20
        y: 14 + card.stripHeight
        dawn: card.dawn
        controller: card.session.controller
    }

    Rectangle {
        x: 20
        y: 90 + card.stripHeight
        width: parent.width - 40
        height: 1
        color: Theme.ink4(card.dawn)
        opacity: 0.6
    }

    Row {
        id: selectors

        x: 20
        y: 98 + card.stripHeight
        spacing: 12

        Selector {
            id: region

            width: 183
            dawn: card.dawn
            boosting: card.session.controller.boosting
            caption: "区服"
            value: card.session.choice.server
            choosable: card.session.choice.servers.length > 1
            open: card.serverMenuOpen
        }

        Selector {
            id: route

            width: 205
            dawn: card.dawn
            boosting: card.session.controller.boosting
            caption: "线路"
            value: card.session.routeSource.line
            open: card.routeDialogOpen
        }

        Selector {
            id: modeBox

            width: 170
            dawn: card.dawn
            boosting: card.session.controller.boosting
            caption: "模式"
            value: card.mode
            open: card.modeMenuOpen
        }

        Item {
            id: dualBox

            readonly property string reason: "双网防丢包需要加速核心与节点同时支持经两条网络发送游戏数据，当前版本尚不支持；已保存的设置会保留"

            width: 170
            height: 40

            HoverHandler {
                id: dualHover
            }

            ToolTip.visible: dualHover.hovered
            ToolTip.delay: 400
            ToolTip.text: reason

            Column {
                x: 6
                anchors.verticalCenter: parent.verticalCenter
                spacing: 1

                Text {
                    id: dualLabel

                    textFormat: Text.PlainText
                    text: "双网防丢包"
                    color: Theme.ink3(card.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                }

                Text {
                    objectName: "dualNetworkReason"
                    textFormat: Text.PlainText
                    text: "暂不可用 · 核心未支持"
                    color: Theme.ink3(card.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(10)
                }
            }

            ToggleSwitch {
                id: dualSwitch

                x: 104
                anchors.verticalCenter: parent.verticalCenter
                opacity: 0.45
                checked: false
                lightMode: card.dawn
                interactive: false
            }
        }
    }

    // The selectors' clicks; absent while boosting or while a dialog is open.
    Item {
        objectName: "selectorHitLayer"
        x: selectors.x
        y: selectors.y
        width: selectors.width
        height: selectors.height
        visible: card.selectorsActive && !card.session.controller.boosting

        ClickArea {
            visible: region.choosable
            x: region.x
            width: region.width
            height: region.height
            lightMode: card.dawn
            focusRadius: 15
            label: "区服 " + card.session.choice.server
            onActivated: card.serverMenuRequested()
        }

        ClickArea {
            x: route.x
            width: route.width
            height: route.height
            lightMode: card.dawn
            focusRadius: 15
            label: "线路 " + card.session.routeSource.line
            onActivated: card.routeDialogRequested()
            ToolTip.visible: containsMouse && route.truncated
            ToolTip.delay: 400
            ToolTip.text: card.session.routeSource.line
        }

        ClickArea {
            x: modeBox.x
            width: modeBox.width
            height: modeBox.height
            lightMode: card.dawn
            focusRadius: 15
            label: "模式 " + card.mode
            onActivated: card.modeMenuRequested()
        }

        // Unavailable: read out with its reason, never toggled.
        ClickArea {
            x: dualBox.x
            width: dualBox.width
            height: 40
            enabled: false
            label: "双网防丢包（暂不可用）"
            lightMode: card.dawn
            role: Accessible.CheckBox
            Accessible.checkable: true
            Accessible.checked: false
            Accessible.description: dualBox.reason
        }
    }
}
