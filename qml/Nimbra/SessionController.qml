import QtQuick
import "SessionLogic.js" as Session
import "games/GameListLogic.js" as GameLogic

// The user's side of the acceleration flow: choosing a game and a route, fetching what a start needs
// and the start button itself. It works on the main window's controller properties.
QtObject {
    id: flow

    required property var controller

    function startUp() {
        const c = flow.controller
        const recent = globalData.recentBoostedGame
        const hasRecent = !!recent && !Session.isBlank(recent.id)
        if (hasRecent) {
            c.gameId = String(recent.id).trim()
            c.server = !Session.isBlank(recent.country) ? String(recent.country)
                : (recent.servers && recent.servers.length > 0 ? String(recent.servers[0]) : "艾欧尼亚")
            c.selectedGame = recent
            c.lastBoostedGame = recent
        }
        c.perfLastTickMs = Date.now()
        c.appendAppLog("[UI] 主界面初始化完成")
        if (hasRecent) {
            c.appendAppLog("[UI] 已恢复最近加速游戏：" + (recent.name || ""), false, false)
            requestGameDetail(recent, "recent-game-restored")
        }
        c.appendAppLog("[PERF] QML debugger requested=" + qmlDebuggerRequested + " active=" + qmlDebuggerActive,
                       false, false)
    }

    function requestGameDetail(game, reason) {
        const c = flow.controller
        const packageName = Session.gamePackageName(game)
        const country = Session.firstText(game, ["country"]) || String(c.server).trim()
        if (packageName === "" || country === "") {
            c.gameDetailLoading = false
            return
        }
        const key = Session.detailKey(packageName, country)
        // A reply without addresses is not asked again on its own; only a start attempt retries it.
        if (Session.gameIpList(game).length > 0
                || (c.loadedGameDetailKeys[key] === true && reason !== "start-without-ip-list")) {
            if (c.gameDetailKey === key)
                c.gameDetailLoading = false
            return
        }
        if (c.gameDetailLoading && c.gameDetailKey === key)
            return
        c.gameDetailKey = key
        c.gameDetailLoading = true
        c.appendAppLog("[UI] 请求游戏详情 reason=" + (reason || "unknown") + " package=" + packageName + " country="
                       + country, false, false)
        gameListApi.loadDetail(packageName, country)
    }

    function coreBusy() {
        return flow.controller.boosting || singBoxManager.running || singBoxManager.starting
    }

    function chooseGame(gameOrId) {
        const c = flow.controller
        if (coreBusy()) {
            c.toast("请先停止当前加速，再切换游戏", true)
            return
        }
        const record = gameOrId !== null && typeof gameOrId === "object" ? gameOrId : c.gameFor(gameOrId)
        if (!record || Session.isBlank(record.id))
            return
        c.selectedGame = record
        c.gameId = String(record.id)
        c.server = Session.gameRegion(record)
        c.line = "正在加载线路"
        c.selectedNode = ({})
        // A configuration still on its way belongs to the previous game and will be dropped.
        c.routeConfigLoading = false
        c.serverMenu = false
        c.modeMenu = false
        c.nodeDialog = false
        c.tab = "home"
        c.tabIndex = 0
        requestGameDetail(record, "game-changed")
        if (c.loggedIn)
            requestRoutes("game-changed")
        c.toast("已切换：" + (record.name || "") + " · " + c.server)
    }

    function ensureSelectedGame() {
        const c = flow.controller
        if (c.allKnownGames.length === 0)
            return
        let record = c.gamesById[c.gameId]
        if (!record) {
            if (c.selectedGame && String(c.selectedGame.id) === c.gameId) {
                record = c.selectedGame
            } else {
                record = c.allKnownGames[0]
                c.gameId = String(record.id)
                c.server = Session.gameRegion(record)
            }
        }
        // A new catalogue page brings the game back without the addresses its detail added; the
        // detail is not asked for again, so keep the ones already known.
        const current = c.selectedGame
        if (record !== current && current && String(current.id) === String(record.id)
                && Session.gameIpList(record).length === 0 && Session.gameIpList(current).length > 0)
            record = Object.assign({}, record, { ip_list: current.ip_list, ipList: current.ipList })
        c.selectedGame = record
        requestGameDetail(record, "game-selected")
        if (c.loggedIn && c.nodes.length === 0 && !c.routesLoading)
            Qt.callLater(requestRoutes, "game-selected")
    }

    function requestRoutes(reason) {
        const c = flow.controller
        if (!c.loggedIn || c.userId <= 0) {
            c.nodes = []
            c.selectedNode = ({})
            c.routeConfigLoading = false
            c.line = "登录后加载线路"
            return
        }
        const id = Session.firstText(c.currentGame, ["id"])
        if (id === "")
            return
        c.routesLoading = true
        c.routeError = ""
        c.appendAppLog("[UI] 请求实时线路 reason=" + (reason || "unknown") + " gameId=" + id, false, false)
        acceleratorApi.loadRoutes(c.userId, c.routeGamePayload())
    }

    function chooseNode(node) {
        const c = flow.controller
        if (!node)
            return
        if (node.full === true) {
            c.toast("该节点已满，请选择其他节点", true)
            return
        }
        c.selectedNode = node
        c.line = String(node.name === undefined || node.name === null ? "" : node.name)
        const key = Session.nodeStableKey(node)
        if (key !== "")
            globalData.saveGameRouteSelection(c.gameId, key)
        c.nodeDialog = false
        requestNodeConfig(c.selectedNode, "node-selected")
        c.toast("已切换节点：" + c.line)
    }

    function requestNodeConfig(node, reason) {
        const c = flow.controller
        if (!c.loggedIn || c.userId <= 0 || !Session.nodeRequestable(node))
            return
        c.routeConfigLoading = true
        c.appendAppLog("[UI] 请求节点配置 reason=" + (reason || "unknown") + " nodeId=" + Session.nodeRequestKey(node),
                       false, false)
        acceleratorApi.loadNodeConfig(c.userId, c.routeGamePayload(), node)
    }

    // The start button: cancels a start in progress, else the first check that applies decides.
    function toggleAcceleration() {
        const c = flow.controller
        if (singBoxManager.starting) {
            singBoxManager.stop()
            c.pendingBoostGame = GameLogic.emptyGame()
            c.toast("正在取消加速启动…")
        } else if (!c.loggedIn) {
            c.loginDialog = true
            c.toast("请先登录后再开始加速", true)
        } else if (c.boosting || singBoxManager.running) {
            singBoxManager.stop()
        } else if (c.routesLoading) {
            c.toast("正在加载实时线路，请稍候", true)
        } else if (c.routeConfigLoading) {
            c.toast("正在获取线路配置，请稍候", true)
        } else if (c.gameDetailLoading) {
            c.toast("正在获取游戏 IP 列表，请稍候", true)
        } else if (Session.gameIpList(c.currentGame).length === 0) {
            requestGameDetail(c.currentGame, "start-without-ip-list")
            c.toast("当前游戏还没有可用 IP 列表", true)
        } else if (c.nodes.length === 0) {
            requestRoutes("start-without-routes")
            c.toast(c.routeError || "暂无实时线路，请稍候重试", true)
        } else if (c.selectedRouteConfig() === "") {
            requestMissingConfig()
        } else {
            startCore()
        }
    }

    function requestMissingConfig() {
        const c = flow.controller
        if (Session.nodeRequestable(c.selectedNode)) {
            requestNodeConfig(c.selectedNode, "start-without-config")
            c.toast("正在获取线路配置，请稍候", true)
        } else {
            c.appendAppLog("[UI] 当前线路缺少节点地址，无法获取线路配置", true)
            c.toast("当前线路没有可用节点地址，请重新获取线路", true)
        }
    }

    function startCore() {
        const c = flow.controller
        const source = Session.gameIpList(c.currentGame)
        const ips = []
        for (let i = 0; i < source.length; ++i)
            ips.push(String(source[i]))
        c.appendAppLog("[GameIP] 执行Route package=" + Session.gamePackageName(c.currentGame) + " count=" + ips.length
                       + " ips=" + ips.join(", "))
        singBoxManager.setRouteIpList(ips)
        c.pendingBoostGame = c.currentGame
        c.reconnectAttempt = 0
        if (!singBoxManager.prepareRuntimeConfig(c.selectedRouteConfig()) || !singBoxManager.start()) {
            c.pendingBoostGame = GameLogic.emptyGame()
            c.toast(singBoxManager.lastError || "线路配置准备失败", true)
        }
    }

    function signOut() {
        const c = flow.controller
        c.accountMenu = false
        singBoxManager.stop()
        c.pendingBoostGame = GameLogic.emptyGame()
        c.boosting = false
        passportApi.clearSession()
        rechargeApi.clearSession()
        globalData.clearSessionData()
        c.toast("已退出登录，加速通道已关闭", true)
    }
}
