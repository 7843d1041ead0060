import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../SessionLogic.js" as Session
import "../games/GameListLogic.js" as GameLogic

// The bottom of the hero: the current game, the live figures, the acceleration button and, below a
// divider, the selector row with the hit layer that takes its clicks.
GlassCard {
    id: card

    required property AccelerationSession session
    required property bool dawn
    required property string assetRoot
    required property string mode
    required property bool dualNetwork
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
    signal dualNetworkToggled()

    height: 150
    lightMode: dawn
    darkSurface: Theme.controlFill(false)
    lightSurface: Theme.controlFill(true)

    GameTile {
        id: tile

        x: 20
        y: 18
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

    Row {
        x: 320
        anchors.verticalCenter: tile.verticalCenter
        spacing: 34

        Column {
            spacing: 2

            Text {
                objectName: "cardLatency"
                textFormat: Text.PlainText
                text: card.session.measurement.latencyText
                Accessible.role: Accessible.StaticText
                Accessible.name: latencyCaption.text + " " + text
                color: Theme.ink(card.dawn)
                font.family: Fonts.latin()
                font.pixelSize: 22
                font.bold: true
            }

            Text {
                id: latencyCaption

                textFormat: Text.PlainText
                text: card.session.controller.boosting ? "连接延时" : "未连接延时"
                color: Theme.text(card.session.controller.boosting ? Theme.neon(card.dawn) : Theme.accent(card.dawn))
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }
        }

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6

            Text {
                textFormat: Text.PlainText
                text: "↑ " + Session.formatNetworkRate(App.singBoxManager.uploadBytesPerSecond)
                Accessible.role: Accessible.StaticText
                Accessible.name: "上传 " + text.slice(2)
                color: Theme.ink2(card.dawn)
                font.family: Fonts.latin()
                font.pixelSize: 13
            }

            Text {
                textFormat: Text.PlainText
                text: "↓ " + Session.formatNetworkRate(App.singBoxManager.downloadBytesPerSecond)
                Accessible.role: Accessible.StaticText
                Accessible.name: "下载 " + text.slice(2)
                color: Theme.ink2(card.dawn)
                font.family: Fonts.latin()
                font.pixelSize: 13
            }
        }
    }

    BoostButton {
        anchors.right: parent.right
        anchors.rightMargin: 20
        y: 14
        dawn: card.dawn
        controller: card.session.controller
    }

    Rectangle {
        x: 20
        y: 90
        width: parent.width - 40
        height: 1
        color: Theme.ink4(card.dawn)
        opacity: 0.6
    }

    Row {
        id: selectors

        x: 20
        y: 98
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
            width: 170
            height: 40
            opacity: card.session.controller.boosting ? 0.55 : 1

            Text {
                id: dualLabel

                x: 6
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: "双网防丢包"
                color: Theme.ink2(card.dawn)
                font.family: Fonts.ui()
                font.pixelSize: 13
            }

            ToggleSwitch {
                id: dualSwitch

                anchors.left: dualLabel.right
                anchors.leftMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                checked: card.dualNetwork
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

        ClickArea {
            x: dualSwitch.parent.x
            width: dualSwitch.parent.width
            height: 40
            label: "双网防丢包"
            lightMode: card.dawn
            role: Accessible.CheckBox
            Accessible.checkable: true
            Accessible.checked: card.dualNetwork
            onActivated: card.dualNetworkToggled()
        }
    }
}
