import QtQuick
import QtQuick.Templates as T
import QtTest
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"
import "qrc:/qt/qml/Nimbra/recharge"

Item {
    id: root

    width: 1240
    height: 760

    Component {
        id: routeComponent

        RouteDialog {
            routes: RouteListModel {}
        }
    }

    Component {
        id: logComponent

        LogDialog {
            width: 760
            height: 400
            log: RunLogModel {}
            playerLog: RunLogModel {}
            history: LatencyHistoryModel {}
        }
    }

    Component {
        id: switchComponent

        SwitchGameDialog {
            fromName: "英雄联盟"
            toName: "永恒之塔"
        }
    }

    Component {
        id: menuComponent

        AccountMenu {}
    }

    // A control of the page behind the dialogs: it gets the keyboard back when a dialog closes.
    Rectangle {
        id: pageButton

        width: 20
        height: 20
        activeFocusOnTab: true
    }

    // Each dialog as the window or the purchase page shows it, open until it asks to close.
    Component {
        id: hostedRoute

        Item {
            id: host

            property bool open: true

            anchors.fill: parent

            DialogPopup {
                wanted: host.open

                RouteDialog {
                    id: dialog

                    routes: RouteListModel {}
                    loggedIn: true
                    Component.onCompleted: {
                        routes.setRoutes([{ id: "a", name: "线路 A" }, { id: "b", name: "线路 B" }])
                        routes.setSelected({ id: "a" })
                    }
                    onCloseRequested: host.open = false
                }
            }
        }
    }

    Component {
        id: hostedLog

        Item {
            id: host

            property bool open: true

            anchors.fill: parent

            DialogPopup {
                wanted: host.open

                LogDialog {
                    id: dialog

                    width: 600
                    height: 400
                    log: RunLogModel {}
                    playerLog: RunLogModel {}
                    history: LatencyHistoryModel {}
                    Component.onCompleted: playerLog.append("一行", false, "12:00:00")
                    onCloseRequested: host.open = false
                }
            }
        }
    }

    Component {
        id: hostedFrame

        Item {
            id: host

            property bool open: true

            anchors.fill: parent

            ModalFrame {
                id: dialog

                visible: host.open
                title: "我的拼团"
                cardWidth: 500
                cardHeight: 300
                onCloseRequested: host.open = false

                Row {
                    OptionChip { text: "月卡"; theme: ThemeColors { lightMode: dialog.lightMode } }
                    OptionChip { text: "季卡"; theme: ThemeColors { lightMode: dialog.lightMode } }
                }
            }
        }
    }

    SignalSpy {
        id: spy
    }

    TestCase {
        name: "Dialogs"
        when: windowShown

        function create(component, properties, signalName) {
            const item = createTemporaryObject(component, root, properties)
            verify(item)
            spy.target = null
            spy.signalName = signalName
            spy.target = item
            spy.clear()
            return item
        }

        function eightRoutes() {
            const list = []
            for (let i = 1; i <= 8; ++i)
                list.push({ id: "r" + i, name: "线路 " + i, full: false, cur: i === 6 ? 10 : i, cap: 10 })
            return list
        }

        function test_routeRows() {
            const dialog = create(routeComponent, { loggedIn: true }, "routeChosen")
            dialog.routes.setRoutes(eightRoutes())
            dialog.routes.setSelected({ id: "r2" })
            waitForRendering(dialog)
            verify(findChild(dialog, "routeRow6"))
            verify(!findChild(dialog, "routeRow7"))
            verify(findChild(dialog, "fullHeading").visible)
            verify(!findChild(dialog, "routeAction").visible)

            const eighth = findChild(dialog, "fullRow0")
            compare(eighth.route.record.id, "r8")
            compare(eighth.opacity, 0.52)
            compare(findChild(eighth, "routeChoice").text, "已满")
            compare(findChild(eighth, "routeLoad").text, "在线 8/10")
            compare(findChild(findChild(dialog, "routeRow1"), "routeChoice").text, "已选择")
            compare(findChild(findChild(dialog, "routeRow2"), "routeChoice").text, "选择")
            dialog.routes.setSelected({ id: "r8" })
            verify(eighth.selected)
            compare(findChild(eighth, "routeChoice").text, "已满")

            // A route at its capacity among the offered ones: dimmed, marked, and not chosen by click or key.
            const full = findChild(dialog, "routeRow5")
            compare(full.opacity, 0.52)
            compare(findChild(full, "routeChoice").text, "已满")
            compare(findChild(full, "routeLatency").text, "已满 · 不测速")
            mouseClick(full)
            for (const row of [full, eighth]) {
                row.forceActiveFocus()
                keyClick(Qt.Key_Return)
            }
            compare(spy.count, 0)

            mouseClick(findChild(dialog, "routeRow2"))
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0].id, "r3")

            const focused = findChild(dialog, "routeRow4")
            focused.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(spy.count, 2)
            compare(spy.signalArguments[1][0].id, "r5")

            // The arrows move row by row, past the full routes' heading, and stop at the ends.
            findChild(dialog, "routeRow6").forceActiveFocus()
            keyClick(Qt.Key_Down)
            verify(eighth.activeFocus)
            keyClick(Qt.Key_Down)
            verify(eighth.activeFocus)
            keyClick(Qt.Key_Up)
            verify(findChild(dialog, "routeRow6").activeFocus)
            verify(eighth.Accessible.name.indexOf("已满") >= 0)
        }

        function test_routeEmpty_data() {
            return [
                { tag: "signed in", loggedIn: true, loading: false, error: "", title: "暂无可用线路",
                  subtitle: "这款游戏暂时没有可用线路", action: "重新获取", signal: "retryRequested" },
                { tag: "with error", loggedIn: true, loading: false, error: "线路加载失败", title: "线路加载失败",
                  subtitle: "线路获取失败", action: "重试", signal: "retryRequested" },
                { tag: "signed out", loggedIn: false, loading: false, error: "", title: "登录后获取线路",
                  subtitle: "登录后才能获取线路", action: "登录", signal: "signInRequested" },
                { tag: "loading", loggedIn: true, loading: true, error: "", title: "暂无可用线路",
                  subtitle: "正在获取线路…", action: "", signal: "retryRequested" }
            ]
        }

        function test_routeEmpty(data) {
            const dialog = create(routeComponent, { loggedIn: data.loggedIn, loading: data.loading,
                                                    routeError: data.error }, data.signal)
            const action = findChild(dialog, "routeAction")
            compare(findChild(dialog, "emptyTitle").text, data.title)
            compare(findChild(dialog, "routeHeader").subtitle, data.subtitle)
            compare(action.visible, data.action !== "")
            if (action.visible) {
                compare(action.text, data.action)
                mouseClick(action)
                compare(spy.count, 1)
            }
        }

        // The switch question by keyboard: it opens on the switch, Enter takes it, Esc keeps the game.
        function test_switchKeys_data() {
            return [
                { tag: "enter", key: Qt.Key_Return, signal: "confirmed" },
                { tag: "escape", key: Qt.Key_Escape, signal: "cancelled" }
            ]
        }

        function test_switchKeys(data) {
            const dialog = create(switchComponent, {}, data.signal)
            tryVerify(() => findChild(dialog, "switchConfirm").activeFocus)
            verify(findChild(dialog, "switchMessage").text.indexOf("永恒之塔") >= 0)
            keyClick(data.key)
            compare(spy.count, 1)
        }

        function test_escapeCloses() {
            const dialog = create(routeComponent, {}, "closeRequested")
            dialog.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            compare(spy.count, 1)
        }

        function holds(box, item) {
            for (let at = item; at; at = at.parent) {
                if (at === box)
                    return true
            }
            return false
        }

        function focused() {
            return root.Window.activeFocusItem
        }

        function test_focusStaysInside_data() {
            return [
                { tag: "route dialog, Shift+Tab, Esc", component: hostedRoute, back: [Qt.Key_Tab, Qt.ShiftModifier],
                  close: "escape", closes: true },
                { tag: "log dialog, Backtab, Esc", component: hostedLog, back: [Qt.Key_Backtab, Qt.ShiftModifier],
                  close: "escape", closes: true },
                { tag: "purchase dialog, Shift+Tab, Esc", component: hostedFrame, back: [Qt.Key_Tab, Qt.ShiftModifier],
                  close: "escape", closes: true },
                { tag: "purchase dialog, click outside", component: hostedFrame, back: [Qt.Key_Backtab, Qt.ShiftModifier],
                  close: "outside", closes: false }
            ]
        }

        // Tab goes round the dialog's controls and Shift+Tab the same round backwards, never reaching
        // the page; once the dialog closes, the page's control has the keyboard again.
        function test_focusStaysInside(data) {
            pageButton.forceActiveFocus()
            const host = createTemporaryObject(data.component, root)
            verify(host)
            // The dialog is shown on the window's overlay, outside the page.
            const inDialog = item => item !== null && holds(root.T.Overlay.overlay, item)
            tryVerify(() => inDialog(focused()), 1000, "the dialog takes the keyboard")
            keyClick(Qt.Key_Tab)
            const start = focused()
            const round = []
            do {
                keyClick(Qt.Key_Tab)
                verify(inDialog(focused()), "Tab reached " + focused())
                round.push(focused())
            } while (focused() !== start && round.length < 40)
            compare(focused(), start)
            verify(round.length >= 2, "controls in the round: " + round.length)
            for (let i = round.length - 2; i >= -1; --i) {
                keyClick(data.back[0], data.back[1])
                compare(focused(), i >= 0 ? round[i] : start)
            }

            if (data.close === "escape")
                keyClick(Qt.Key_Escape)
            else
                mouseClick(root, 2, root.height - 2)
            if (!data.closes) {
                wait(50)
                verify(host.open && inDialog(focused()))
                return
            }
            verify(!host.open)
            tryVerify(() => pageButton.activeFocus)
        }

        function append(log, from, count) {
            for (let i = from; i < from + count; ++i)
                log.append("第 " + i + " 行 " + "x".repeat(i % 90), i % 7 === 0, "12:00:00")
        }

        function test_logFollowsEnd_data() {
            return [{ tag: "player's log", technical: false }, { tag: "technical log", technical: true }]
        }

        // The log shown follows its own lines; the other log's lines (the core's, for the player's log)
        // neither show nor move it.
        function test_logFollowsEnd(data) {
            const dialog = create(logComponent, { technical: data.technical }, "clearRequested")
            const list = findChild(dialog, "logList")
            const shown = data.technical ? dialog.log : dialog.playerLog
            append(data.technical ? dialog.playerLog : dialog.log, 0, 50)
            waitForRendering(dialog)
            compare(list.count, 0)
            verify(findChild(dialog, "emptyText").visible)

            dialog.visible = false
            append(shown, 0, 120)
            dialog.visible = true
            tryVerify(() => list.atYEnd && list.contentY > 0)

            list.positionViewAtBeginning()
            append(shown, 120, 180)
            tryVerify(() => list.atYEnd)

            // At the cap the length stays the same while new lines replace old ones.
            list.positionViewAtBeginning()
            append(shown, 300, 5)
            compare(list.count, 300)
            tryVerify(() => list.atYEnd)

            mouseClick(findChild(dialog, "clearButton"))
            compare(spy.count, 1)
        }

        // The switch to the technical log is reached and flipped by keyboard, and copying names the log
        // shown.
        function test_logSwitch() {
            const dialog = create(logComponent, {}, "copyRequested")
            dialog.log.append("[HTTP worker] 完成 #12", false, "12:00:00")
            dialog.forceActiveFocus()
            const toggle = findChild(dialog, "technicalSwitch")
            for (let i = 0; i < 6 && !toggle.activeFocus && !holds(toggle, focused()); ++i)
                keyClick(Qt.Key_Tab)
            verify(holds(toggle, focused()), "Tab reaches the switch")
            compare(focused().Accessible.name, "显示技术日志")
            compare(findChild(dialog, "logList").count, 0)
            keyClick(Qt.Key_Space)
            verify(dialog.technical)
            compare(findChild(dialog, "logList").count, 1)
            mouseClick(findChild(dialog, "copyButton"))
            compare(spy.signalArguments[0][0], true)
        }

        function test_accountMenu_data() {
            return [
                { tag: "member", vipNum: 12, vipType: "", status: "会员状态：VIP 会员", numbered: true, type: "会员类型：尊享会员",
                  expiry: "2027-01-05 到期 · 剩余 365 天" },
                { tag: "member with type", vipNum: 3, vipType: "月卡会员", status: "会员状态：VIP 会员", numbered: true, type: "会员类型：月卡会员",
                  expiry: "永久有效" },
                { tag: "no member", vipNum: 0, vipType: "", status: "会员状态：普通用户", numbered: false, type: "会员类型：—", expiry: "" }
            ]
        }

        function test_accountMenu(data) {
            const menu = create(menuComponent, { userName: "138****0000", vipNum: data.vipNum, vipType: data.vipType,
                                                 vipExpiryText: data.expiry }, "signOutRequested")
            compare(findChild(menu, "statusText").text, data.status)
            verify(findChild(menu, "accountText").text === "账号：138****0000")
            verify(findText(menu, data.type), data.type)
            compare(findText(menu, "会员编号：" + data.vipNum) !== null, data.numbered)
            // The expiry reads whole, above the sign-out button.
            const expiry = findText(menu, "有效期：" + (data.expiry || "—"))
            verify(expiry && !expiry.truncated, "expiry shown whole")
            const bottom = expiry.mapToItem(menu, 0, expiry.height).y
            verify(bottom <= findChild(menu, "signOutButton").y, "expiry ends at " + bottom)
            mouseClick(findChild(menu, "signOutButton"))
            compare(spy.count, 1)
        }

        function findText(item, text) {
            if (item.text === text)
                return item
            for (let i = 0; i < item.children.length; ++i) {
                const found = findText(item.children[i], text)
                if (found)
                    return found
            }
            return null
        }
    }
}
