import QtQuick
import Nimbra

// The four pages. The library and the membership page exist only while their tab shows and are
// created off the click; the settings page is made when it first shows.
Item {
    id: area

    required property var controller
    readonly property alias home: homePage
    readonly property int vipLoaderStatus: vipLoader.status
    readonly property alias vipPage: vipLoader.item

    HomePage {
        id: homePage

        anchors.fill: parent
        visible: area.controller.tab === "home"
        controller: area.controller
        session: area.controller.session
    }

    Loader {
        id: libraryLoader

        // Found by name by the start-up benchmark, which times it.
        objectName: "libraryLoader"
        width: area.controller.designPageWidth
        height: area.controller.designPageHeight
        active: area.controller.tab === "games"
        asynchronous: true
        sourceComponent: GameLibraryView {
            enabled: !area.controller.boosting
            opacity: area.controller.boosting ? 0.68 : 1
            lightMode: area.controller.dawn
            ink: area.controller.ink
            ink2: area.controller.ink2
            ink3: area.controller.ink3
            ink4: area.controller.ink4
            primary: area.controller.primary
            accent: area.controller.accent
            assetRoot: area.controller.assetRoot
            games: area.controller.games
            categories: area.controller.categories
            selectedGameId: area.controller.gameId
            page: area.controller.gamePage
            totalPages: area.controller.gameTotalPages
            total: area.controller.gameTotal
            busy: gameListApi.busy
            onGameSelected: game => area.controller.chooseGame(game)
            onPageRequested: (page, category, keyword) => gameListApi.loadPage(page, category, keyword)
        }
    }

    // The membership page, made afresh each time its tab opens: leaving the tab ends its dialogs and
    // the polling of a payment in progress (the order stays pending on the service).
    Loader {
        id: vipLoader

        // Found by name by the benchmark and the screenshots.
        objectName: "vipLoader"
        anchors.fill: parent
        active: area.controller.tab === "vip"
        asynchronous: true
        sourceComponent: RechargeView {
            api: rechargeApi
            dataStore: globalData
            guid: area.controller.userId
            loggedIn: area.controller.loggedIn
            games: area.controller.allKnownGames
            qrGenerator: qrCodeGenerator
            lightMode: area.controller.dawn
            ink: area.controller.ink
            ink2: area.controller.ink2
            ink3: area.controller.ink3
            ink4: area.controller.ink4
            primary: area.controller.primary
            accent: area.controller.accent
            neon: area.controller.neon
            cardFill: area.controller.cardFill
            edge: area.controller.edge
            onToastRequested: (message, warning) => area.controller.toast(message, warning)
            onLoginRequested: area.controller.openLogin()
            onTraceRequested: message => area.controller.appendAppLog(message, false, false)
        }
        onActiveChanged: {
            if (!active)
                return
            area.controller.vipLoaderStartedMs = Date.now()
            area.controller.appendAppLog("[PERF] 会员页 Loader 开始", false, false)
        }
        onStatusChanged: {
            if (status === Loader.Ready || status === Loader.Error)
                area.controller.appendAppLog("[PERF] 会员页 Loader status=" + status + " elapsed="
                                             + (Date.now() - area.controller.vipLoaderStartedMs) + "ms",
                                             status === Loader.Error, false)
        }
    }

    FirstUse {
        id: settingsPage

        anchors.fill: parent
        wanted: area.controller.tab === "settings"
        sourceComponent: SettingsPage {
            visible: settingsPage.shown
            controller: area.controller
        }
    }
}
