import QtQuick
import Nimbra

// The game library page at its design size (1218 × 716) with the first library page, the second game
// selected.
Rectangle {
    id: scene

    property bool lightMode: false
    readonly property var games: App.globalData.games

    width: 1218 + 48
    height: 716 + 40
    color: lightMode ? "#e9eff7" : "#070c18"

    GameLibraryView {
        x: 24
        y: 20
        width: 1218
        height: 716
        lightMode: scene.lightMode
        games: scene.games
        categories: ["全部"].concat(App.globalData.gameCategories.map(String).filter(c => c !== ""))
        selectedGameId: scene.games.length > 1 ? String(scene.games[1].id) : ""
        page: App.globalData.gamePage
        totalPages: App.globalData.gameTotalPages
        total: App.globalData.gameTotal
        busy: App.gameListApi.busy
    }
}
