import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The acceleration home page: the common games on the left, the hero card with the chosen game's
// background, the feature chips and the control card on the right.
Item {
    id: page

    required property var controller
    required property AccelerationSession session
    readonly property alias regionSelector: control.regionSelector
    readonly property alias modeSelector: control.modeSelector
    readonly property alias backdrop: backdropItem

    GameListView {
        id: gameList

        width: 348
        height: parent.height
        enabled: !page.session.boosting
        opacity: page.session.boosting ? 0.68 : 1
        lightMode: page.controller.dawn
        ink: page.controller.ink
        ink2: page.controller.ink2
        ink3: page.controller.ink3
        ink4: page.controller.ink4
        primary: page.controller.primary
        accent: page.controller.accent
        assetRoot: page.controller.assetRoot
        games: page.controller.commonGames
        loading: !page.controller.commonGamesLoaded && App.gameListApi.busy
        emptyText: page.controller.commonGamesLoaded ? "暂无常用游戏" : "正在从服务器加载常用游戏…"
        currentGame: page.session.selectedGame
        recentGame: page.session.lastBoostedGame
        selectedGameId: page.session.gameId
        onGameSelected: game => page.session.chooseGame(game)
        onLibraryRequested: page.controller.selectTab("games", 1)
    }

    GlassCard {
        id: hero

        anchors.left: gameList.right
        anchors.leftMargin: 18
        anchors.right: parent.right
        height: parent.height
        lightMode: page.controller.dawn

        HeroBackdrop {
            id: backdropItem

            // Item clipping is rectangular: inset far enough that the picture's square corners stay
            // inside the card's rounded ones.
            anchors.fill: parent
            anchors.margins: Math.ceil(hero.radius * (1 - Math.SQRT1_2))
            clip: true
            controller: page.controller
        }

        // Keeps the chips and the control card legible over bright pictures.
        Rectangle {
            anchors.fill: backdropItem
            gradient: Gradient {
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 1; color: Qt.alpha(page.controller.darkBg, 0.7) }
            }
        }

        Flow {
            x: 28
            y: 28
            width: parent.width - 56
            spacing: 10

            Repeater {
                model: [
                    { text: "实测延迟智能选路", icon: "link" },
                    { text: "全国 300+ 专线节点", icon: "pin" },
                    { text: "7×24 小时客服", icon: "headset" },
                    { text: "新游每周接入", icon: "sparkle" }
                ]

                delegate: Rectangle {
                    id: chip

                    required property var modelData

                    width: chipRow.implicitWidth + 24
                    height: 32
                    radius: 16
                    color: Theme.chipFill(page.controller.dawn)
                    border.color: page.controller.edge

                    Row {
                        id: chipRow

                        anchors.centerIn: parent
                        spacing: 6

                        Icon {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 16
                            height: 16
                            name: chip.modelData.icon
                            color: page.controller.neon
                        }

                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            textFormat: Text.PlainText
                            text: chip.modelData.text
                            color: page.controller.ink
                            font.family: Fonts.ui()
                            font.pixelSize: 13
                        }
                    }
                }
            }
        }

        ControlCard {
            id: control

            x: 20
            width: parent.width - 40
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 20
            controller: page.controller
            session: page.session
        }
    }
}
