pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// The common-games column of the home page: a local search, the recent game and the list. It holds no
// catalogue data of its own; choices leave as signals.
GlassCard {
    id: view

    // The colours of the view and its parts, following lightMode.
    readonly property ThemeColors colors: ThemeColors { lightMode: view.lightMode }
    property string assetRoot: "qrc:/assets"

    property var games: []
    property var currentGame: Logic.emptyGame()
    property var recentGame: Logic.emptyGame()
    property string selectedGameId: ""
    property bool loading: false
    property string emptyText: "暂无游戏"

    readonly property string searchText: search.text
    readonly property bool recentSelected: Logic.gameId(recentGame) !== ""
                                           && Logic.gameId(recentGame) === selectedGameId
    readonly property var filteredGames: (games || []).filter(game => Logic.matchesGame(game, searchText))

    signal gameSelected(var game)
    signal libraryRequested()

    function focusSearch() {
        search.focusInput()
    }

    implicitWidth: 348
    implicitHeight: 640

    // The field prints "Ctrl + K"; the shortcut works wherever focus is in this window.
    Shortcut {
        sequence: "Ctrl+K"
        context: Qt.WindowShortcut
        enabled: view.enabled && view.visible
        onActivated: view.focusSearch()
    }

    Item {
        id: header

        x: 18
        y: 16
        width: parent.width - 36
        height: 24

        Text {
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: "常用游戏"
            color: view.colors.ink
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true
        }

        Text {
            id: libraryLink

            objectName: "libraryLink"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: "全部游戏 →"
            color: Theme.text(view.colors.primary)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
            font.underline: linkArea.containsMouse || activeFocus
            activeFocusOnTab: true
            Accessible.role: Accessible.Link
            Accessible.name: text
            Accessible.onPressAction: view.libraryRequested()
            Keys.onReturnPressed: view.libraryRequested()
            Keys.onEnterPressed: view.libraryRequested()

            MouseArea {
                id: linkArea

                anchors.fill: parent
                anchors.margins: -4
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: view.libraryRequested()
            }
        }
    }

    SearchField {
        id: search

        objectName: "gameSearch"
        anchors.top: header.bottom
        anchors.topMargin: 12
        x: 18
        width: parent.width - 36
        theme: view.colors
        placeholder: "搜索游戏，快速定位"
        hint: "Ctrl + K"
        // Enter takes the game when the search leaves just one.
        onAccepted: {
            if (view.filteredGames.length === 1)
                view.gameSelected(view.filteredGames[0])
        }
    }

    RecentGameCard {
        id: recent

        objectName: "recentCard"
        anchors.top: search.bottom
        anchors.topMargin: 12
        x: 18
        width: parent.width - 36
        visible: Logic.gameId(view.recentGame) !== ""
        height: visible ? implicitHeight : 0
        theme: view.colors
        assetRoot: view.assetRoot
        game: view.recentGame || Logic.emptyGame()
        selected: view.recentSelected
        onActivated: view.gameSelected(view.recentGame)
    }

    ListView {
        id: list

        objectName: "gameList"
        anchors.top: recent.bottom
        anchors.topMargin: recent.visible ? 10 : 4
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        x: 12
        width: parent.width - 24
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: view.filteredGames
        // One Tab stop: the arrows move the focused row, Enter or Space chooses it. Entered, the
        // keyboard lands on the chosen game's row when the list shows it.
        activeFocusOnTab: true
        keyNavigationEnabled: true
        Accessible.role: Accessible.List
        Accessible.name: "常用游戏"
        onActiveFocusChanged: {
            if (!activeFocus)
                return
            const chosen = view.filteredGames.findIndex(game => Logic.gameId(game) === view.selectedGameId)
            if (chosen >= 0)
                currentIndex = chosen
        }

        delegate: GameRow {
            width: ListView.view.width
            theme: view.colors
            assetRoot: view.assetRoot
            selectedGameId: view.selectedGameId
            onActivated: game => view.gameSelected(game)
        }
    }

    // Only an empty catalogue gets this text; a search without matches just shows an empty list.
    Column {
        objectName: "emptyState"
        anchors.centerIn: list
        visible: (view.games || []).length === 0
        spacing: 6

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            textFormat: Text.PlainText
            text: view.loading ? "正在从服务器加载…" : view.emptyText
            color: view.colors.ink2
            font.family: Fonts.ui()
            font.pixelSize: 13
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: view.loading
            textFormat: Text.PlainText
            text: "请稍候"
            color: view.colors.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }
}
