import QtQuick
import "SessionLogic.js" as Session
import "games/GameListLogic.js" as GameLogic

// What the back end reports to the acceleration flow (replies, failures, core events, trace lines)
// and the window's periodic figures. It works on the main window's controller properties.
Item {
    id: events

    required property var controller

    function listText(list) {
        const items = []
        for (let i = 0; list && i < list.length; ++i)
            items.push(String(list[i]))
        return items.join(", ")
    }

    function onDetail(detail) {
        const c = events.controller
        const packageName = Session.firstText(detail, ["package_name"])
        const country = Session.firstText(detail, ["country"])
        const ips = (detail && (detail.ip_list || detail.ipList)) || []
        if (packageName !== "" && country !== "") {
            const keys = Object.assign({}, c.loadedGameDetailKeys)
            keys[Session.detailKey(packageName, country)] = true
            c.loadedGameDetailKeys = keys
        }
        const current = c.currentGame
        const currentCountry = Session.firstText(current, ["country"]) || String(c.server).trim()
        if (packageName === Session.gamePackageName(current) && country === currentCountry)
            c.selectedGame = Object.assign({}, current, detail)
        if (Session.detailKey(packageName, country) === c.gameDetailKey)
            c.gameDetailLoading = false
        c.appendAppLog("[UI] 游戏详情已更新 package=" + packageName + " country=" + country + " ipCount=" + ips.length,
                       false, false)
        c.appendAppLog("[GameIP] 服务端IP列表 package=" + packageName + " country=" + country + " count=" + ips.length
                       + " ips=" + (ips.length > 0 ? listText(ips) : "<empty>"), ips.length === 0, false)
    }

    function onRoutes(routes, loadedGameId) {
        const c = events.controller
        const loaded = String(loadedGameId)
        if (loaded !== c.gameId) {
            c.appendAppLog("[UI] 忽略过期线路回调 gameId=" + loaded + " current=" + c.gameId, false, false)
            return
        }
        const list = routes ? routes : []
        c.routesLoading = false
        c.nodes = list
        c.routeError = list.length === 0 ? "当前游戏暂无可用线路" : ""
        const preferred = globalData.savedGameRouteSelection(loaded)
        const target = Session.nodeStableKey(c.selectedNode) || preferred
        const choice = Session.selectRoute(list, target)
        if (choice.node) {
            c.selectedNode = choice.node
            c.line = String(choice.node.name === undefined || choice.node.name === null ? "" : choice.node.name)
        } else {
            c.selectedNode = ({})
            c.line = list.length > 0 ? "线路均已满" : "暂无可用线路"
        }
        if (choice.node && Session.nodeRequestable(choice.node) && c.selectedRouteConfig() === "")
            c.requestNodeConfig(c.selectedNode, "route-list-default")
        const chosenKey = choice.node ? Session.nodeStableKey(choice.node) : ""
        const restored = chosenKey !== "" && chosenKey === preferred ? " restoredRoute=" + chosenKey : ""
        c.appendAppLog("[UI] 实时线路已更新 count=" + list.length + " gameId=" + loaded + restored, false, false)
        if (list.length === 0)
            c.appendAppLog("[UI] 当前游戏暂无可用线路，跳过节点配置请求", true)
    }

    function onNodeConfig(config, loadedGameId, nodeId) {
        const c = events.controller
        if (!c.loggedIn || String(loadedGameId) !== c.gameId)
            return
        const id = String(nodeId)
        const isCurrentSelection = Session.nodeMatchesConfig(c.selectedNode, id)
        if (isCurrentSelection)
            c.routeConfigLoading = false
        const rebuilt = Session.routesWithConfig(c.nodes, config, id)
        c.nodes = rebuilt
        if (isCurrentSelection) {
            const copy = rebuilt.find(route => Session.nodeMatchesConfig(route, id))
            if (copy) {
                c.selectedNode = copy
                c.line = String(copy.name === undefined || copy.name === null ? "" : copy.name)
            }
        }
        c.appendAppLog("[UI] 节点配置已更新 gameId=" + loadedGameId + " nodeId=" + id, false, false)
    }

    function onRouteFailure(operation, message) {
        const c = events.controller
        if (operation === "accelerator_node_config") {
            c.routeConfigLoading = false
            c.toast(message || "线路配置加载失败", true)
            c.appendAppLog("[UI] 节点配置失败 message=" + message, true)
            return
        }
        c.routesLoading = false
        c.routeConfigLoading = false
        c.routeError = message || "线路加载失败"
        c.nodes = []
        c.selectedNode = ({})
        c.line = "线路加载失败"
        c.appendAppLog("[UI] AcceleratorApi 失败 op=" + operation + " message=" + c.routeError, true)
    }

    function onAccount() {
        const c = events.controller
        if (globalData.loggedIn) {
            c.requestRoutes("account-authenticated")
            return
        }
        // Signed out: neither the core nor its routes may stay behind.
        singBoxManager.stop()
        c.pendingBoostGame = GameLogic.emptyGame()
        c.boosting = false
        c.routesLoading = false
        c.routeConfigLoading = false
        c.routeError = ""
        c.nodes = []
        c.selectedNode = ({})
        c.line = "登录后加载线路"
    }

    function onCoreStarted() {
        const c = events.controller
        const game = !Session.isBlank(c.pendingBoostGame.id) ? c.pendingBoostGame : c.currentGame
        c.lastBoostedGame = game
        if (!Session.isBlank(game.id))
            globalData.saveRecentBoostedGame(game)
        c.pendingBoostGame = GameLogic.emptyGame()
        c.appendSingBoxLog("nimbra-server.exe 已启动", false)
        c.boosting = true
        c.boostedLatency = Session.initialBoostedLatency(game, c.disconnectedLatency)
        c.boostSeconds = 0
        if (c.reconnectAttempt > 0) {
            c.appendAppLog("[UI] 断线自动重连成功（第 " + c.reconnectAttempt + " 次）")
            c.toast("断线重连成功，加速已恢复 · " + c.line.split(" ·")[0])
            c.reconnectAttempt = 0
            return
        }
        c.toast("双链路加速通道已建立 · " + c.line.split(" ·")[0])
    }

    function onCoreStopped(exitCode) {
        const c = events.controller
        c.appendSingBoxLog("nimbra-server.exe 已停止，退出代码：" + exitCode, exitCode !== 0)
        c.boosting = false
        c.toast(exitCode !== 0 ? "nimbra-server 已停止（代码 " + exitCode + "）" : "加速已停止，通道已释放", true)
    }

    Connections {
        target: httpManager

        function onTrace(message) { events.controller.appendAppLog(message, false, false) }
    }

    Connections {
        target: rechargeApi

        function onTrace(message) { events.controller.appendAppLog(message, false, false) }
        function onRequestFailed(operation, message) {
            events.controller.appendAppLog("[UI] RechargeApi 失败 op=" + operation + " message=" + (message || ""), true)
        }
    }

    Connections {
        target: gameListApi

        function onDetailLoaded(detail) { events.onDetail(detail) }
        function onRequestFailed(operation, message) {
            const c = events.controller
            if (operation === "detail") {
                c.gameDetailLoading = false
                c.toast(message || "游戏 IP 列表加载失败", true)
                c.appendAppLog("[UI] 游戏详情失败 message=" + message, true)
            } else {
                c.toast(message || "游戏列表加载失败", true)
            }
        }
    }

    Connections {
        target: acceleratorApi

        function onTrace(message) { events.controller.appendAppLog(message, false, false) }
        function onRoutesLoaded(routes, gameId) { events.onRoutes(routes, gameId) }
        function onNodeConfigLoaded(config, gameId, nodeId) { events.onNodeConfig(config, gameId, nodeId) }
        function onRequestFailed(operation, message) { events.onRouteFailure(operation, message) }
    }

    Connections {
        target: globalData

        function onTrace(message) { events.controller.appendAppLog(message, false, false) }
        function onCommonGamesChanged() { events.controller.ensureSelectedGame() }
        function onGamesChanged() { events.controller.ensureSelectedGame() }
        function onAccountChanged() { events.onAccount() }
    }

    // The settings page's switch decides whether the supervisor rebuilds a channel that dropped.
    Binding {
        target: singBoxManager
        property: "autoReconnect"
        value: events.controller.reconnect
    }

    Connections {
        target: singBoxManager

        function onStarted() { events.onCoreStarted() }
        function onReconnecting(attempt, limit, reason) {
            const c = events.controller
            c.reconnectAttempt = attempt
            c.appendAppLog("[UI] 加速通道异常断开，自动重连 " + attempt + "/" + limit + "：" + reason, true)
            c.toast("加速通道异常断开，正在自动重连（" + attempt + "/" + limit + "）…", true)
        }
        function onReconnectAbandoned(message) {
            const c = events.controller
            c.reconnectAttempt = 0
            c.appendAppLog("[UI] " + message, true)
            c.toast(message, true)
        }
        function onStopped(exitCode, exitStatus) { events.onCoreStopped(exitCode) }
        function onStartFailed(message) {
            const c = events.controller
            c.reconnectAttempt = 0
            c.pendingBoostGame = GameLogic.emptyGame()
            c.appendSingBoxLog(message || "nimbra-server.exe 启动失败", true)
            c.boosting = false
            c.toast(message || "nimbra-server 启动失败", true)
        }
        function onProcessError(message) {
            events.controller.appendSingBoxLog(message || "nimbra-server.exe 进程错误", true)
            events.controller.toast(message || "nimbra-server 进程错误", true)
        }
        // Each line is judged on its own: a batch holds many lines and only some are errors.
        function onOutputReceived(text, standardError) {
            const c = events.controller
            c.singBoxLogs = Session.appendLogLines(c.singBoxLogs, Session.stripAnsi(text), Session.isCoreErrorLine,
                                                   Session.timeText(new Date()))
        }
    }

    Timer {
        interval: 30000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: events.controller.clockText = Session.clockText(new Date())
    }

    Timer {
        interval: 3000
        repeat: true
        running: !events.controller.boosting
        triggeredOnStart: true
        onTriggered: {
            const c = events.controller
            c.disconnectedLatency = Session.nextDisconnectedLatency(c.disconnectedLatencyBaseline, Math.random())
        }
    }

    // Responsiveness probe: a tick that comes 300 ms or more after the previous one means the event
    // loop was blocked.
    Timer {
        interval: 100
        repeat: true
        running: true
        onTriggered: {
            const c = events.controller
            const now = Date.now()
            const gap = now - c.perfLastTickMs
            if (c.perfLastTickMs > 0 && gap >= 300)
                c.appendAppLog("[PERF] UI事件循环停顿 gap=" + gap + "ms tab=" + c.tab + " accountMenu=" + c.accountMenu
                               + " vipLoader=" + c.vipLoaderStatus(), true, false)
            c.perfLastTickMs = now
        }
    }

    Timer {
        interval: 1000
        repeat: true
        running: events.controller.boosting
        onTriggered: {
            const c = events.controller
            c.boostSeconds += 1
            c.boostedLatency = Session.nextBoostedLatency(c.boostedLatency, Math.random())
        }
    }
}
