pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../games/GameListLogic.js" as GameLogic

// The acceleration home page: the common games on the left, the hero card with the chosen game's
// background, the feature chips and the control card on the right.
Item {
    id: page

    required property AccelerationSession session
    required property bool dawn
    required property string assetRoot
    required property real fitScale
    // The control card's plain values: the user's choices and which of its menus or dialogs is open.
    required property string mode
    required property bool serverMenuOpen
    required property bool routeDialogOpen
    required property bool modeMenuOpen
    required property bool selectorsActive
    readonly property alias regionSelector: control.regionSelector
    readonly property alias modeSelector: control.modeSelector
    readonly property alias backdrop: backdropItem
    readonly property var game: session.choice.selectedGame

    signal libraryRequested()

    function focusSearch() {
        gameList.focusSearch()
    }
    signal serverMenuRequested()
    signal routeDialogRequested()
    signal modeMenuRequested()

    GameListView {
        id: gameList

        width: 348
        height: parent.height
        // Usable in every state: a click while accelerating asks whether to switch, and Ctrl+K finds.
        lightMode: page.dawn
        assetRoot: page.assetRoot
        games: App.globalData.commonGames
        loading: !App.globalData.commonGamesLoaded && App.gameListApi.busy
        emptyText: App.globalData.commonGamesLoaded ? "暂无常用游戏" : "正在从服务器加载常用游戏…"
        currentGame: page.session.choice.selectedGame
        recentGame: page.session.choice.lastBoostedGame
        selectedGameId: page.session.choice.gameId
        onGameSelected: game => page.session.chooseGame(game)
        onLibraryRequested: page.libraryRequested()
    }

    GlassCard {
        id: hero

        anchors.left: gameList.right
        anchors.leftMargin: 18
        anchors.right: parent.right
        height: parent.height
        lightMode: page.dawn

        HeroBackdrop {
            id: backdropItem

            // Item clipping is rectangular: inset far enough that the picture's square corners stay
            // inside the card's rounded ones.
            anchors.fill: parent
            anchors.margins: Math.ceil(hero.radius * (1 - Math.SQRT1_2))
            clip: true
            dawn: page.dawn
            gameId: page.session.choice.gameId
            recordId: GameLogic.gameId(page.session.choice.selectedGame)
            picture: GameLogic.imageSource(page.session.choice.selectedGame, page.assetRoot, "background")
            gameName: String(page.game.name || "")
            gameLabel: String(page.game.en || "")
            gameHue: Number(page.game.hue) || 222
            iconPicture: GameLogic.imageSource(page.session.choice.selectedGame, page.assetRoot, "icon")
            fitScale: page.fitScale
        }

        // Keeps the chips and the control card legible over bright pictures.
        Rectangle {
            anchors.fill: backdropItem
            gradient: Gradient {
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 1; color: Qt.alpha(Theme.darkBg(page.dawn), 0.7) }
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
                    color: Theme.chipFill(page.dawn)
                    border.color: Theme.edge(page.dawn)

                    Row {
                        id: chipRow

                        anchors.centerIn: parent
                        spacing: 6

                        Icon {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 16
                            height: 16
                            name: chip.modelData.icon
                            color: Theme.neon(page.dawn)
                        }

                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            textFormat: Text.PlainText
                            text: chip.modelData.text
                            color: Theme.ink(page.dawn)
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
            session: page.session
            dawn: page.dawn
            assetRoot: page.assetRoot
            mode: page.mode
            serverMenuOpen: page.serverMenuOpen
            routeDialogOpen: page.routeDialogOpen
            modeMenuOpen: page.modeMenuOpen
            selectorsActive: page.selectorsActive
            onServerMenuRequested: page.serverMenuRequested()
            onRouteDialogRequested: page.routeDialogRequested()
            onModeMenuRequested: page.modeMenuRequested()
        }
    }
}
