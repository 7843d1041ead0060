import QtQuick
import Nimbra
import "../SessionLogic.js" as Session

// The game library as the window shows it: the catalogue from the state store in, the chosen game
// and page requests out. Made from its address when its tab opens, so its documents are not loaded at
// start; the theme is read from the preferences, as the window's follows them.
GameLibraryView {
    id: part

    required property AccelerationSession session

    // Usable while accelerating too: a game chosen then asks whether to switch.
    lightMode: Preferences.dawn
    games: App.globalData.gamePageLoaded ? App.globalData.games : App.globalData.commonGames
    categories: Session.categories(App.globalData.gameCategories)
    selectedGameId: session.choice.gameId
    page: App.globalData.gamePage
    totalPages: App.globalData.gameTotalPages
    total: App.globalData.gameTotal
    busy: App.gameListApi.busy
    onGameSelected: game => part.session.chooseGame(game)
    onPageRequested: (page, category, keyword) => App.gameListApi.loadPage(page, category, keyword)
}
