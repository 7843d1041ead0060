import QtQuick
import Nimbra

// The common-games column as the home page shows it: 348 wide, the page's height, on the window's
// background, with the first common game as the recent one and the second selected.
Rectangle {
    id: scene

    property bool lightMode: false
    readonly property var common: App.globalData.commonGames

    width: 348 + 48
    height: 716 + 40
    color: lightMode ? "#e9eff7" : "#070c18"

    GameListView {
        x: 24
        y: 20
        width: 348
        height: 716
        lightMode: scene.lightMode
        games: scene.common
        recentGame: scene.common.length > 0 ? scene.common[0] : undefined
        selectedGameId: scene.common.length > 1 ? String(scene.common[1].id) : ""
        loading: !App.globalData.commonGamesLoaded && App.gameListApi.busy
        emptyText: App.globalData.commonGamesLoaded ? "暂无常用游戏" : "正在从服务器加载常用游戏…"
    }
}
