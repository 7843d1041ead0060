import QtQuick
import Nimbra

// The game library as the window shows it: the window's catalogue in, the chosen game and page
// requests out. Made from its address when its tab opens, so its documents are not loaded at start.
GameLibraryView {
    id: part

    required property var controller

    enabled: !controller.boosting
    opacity: controller.boosting ? 0.68 : 1
    lightMode: controller.dawn
    ink: controller.ink
    ink2: controller.ink2
    ink3: controller.ink3
    ink4: controller.ink4
    primary: controller.primary
    accent: controller.accent
    assetRoot: controller.assetRoot
    games: controller.games
    categories: controller.categories
    selectedGameId: controller.gameId
    page: controller.gamePage
    totalPages: controller.gameTotalPages
    total: controller.gameTotal
    busy: App.gameListApi.busy
    onGameSelected: game => part.controller.chooseGame(game)
    onPageRequested: (page, category, keyword) => App.gameListApi.loadPage(page, category, keyword)
}
