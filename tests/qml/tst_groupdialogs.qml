import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/recharge"

Item {
    id: root

    width: 1000
    height: 760

    // What the centre sends, in order: [operation, arguments...].
    QtObject {
        id: fakeApi

        property bool busy: false
        property var calls: []
        // Seats are the payment's to order (their body is built in C++, tst_purchaserequests):
        // [code, game, product name, expected fen].
        property QtObject payment: QtObject {
            property int orderId: 0

            function createSeatOrder(team, code, game, name, fen) {
                fakeApi.calls.push(["join", code, game, name, fen])
                return {}
            }
        }

        signal leaderTeamCreated(var team, real serverTime)
        signal leaderTeamDetailLoaded(var team, real serverTime)
        signal ordersLoaded(var orders, int page, int pageSize, int total, bool hasMore, real serverTime)
        signal groupDetailLoaded(var group, real serverTime)
        signal requestFailed(string operation, string message)

        // The request is built in C++ (tst_purchaserequests): here only what the page asks for.
        function loadGroupDetailFor(order, orderId) {
            calls.push(["group", orderId])
            return orderId > 0
        }

        function loadOrders(guid, page, pageSize) {
            calls.push(["orders", page, pageSize])
        }

        property bool teamOffered: true

        function createLeaderTeamFor(entry, line, region, size) {
            calls.push(["create", line, region, size])
            return teamOffered
        }

        function loadLeaderTeamDetail(guid, code, teamId) {
            calls.push(["detail", guid, code, teamId])
        }

        function loadLeaderTeams(guid, page, pageSize) {
            calls.push(["teams", page, pageSize])
        }
    }

    QtObject {
        id: fakeStore

        property bool copies: true
        property var copied: []
        property var leaderEntry: ({
            is_leader: true,
            node_types: [{ value: "2", text: "原生住宅 IP", node_type_id: 2,
                           regions: [{ value: "1", text: "国服", region_id: 1, region_key: "guofu" }] }],
            member_counts: [{ value: "5", text: "5" }, { value: "10", text: "10" }],
            price_map: { "2_guofu_5": { product_id: 41009 } }
        })
        property var leaderTeams: [{ team_id: 7001, team_code: "K7M2QX" }]
        property var leaderTeamDetail: ({})
        property var groupDetail: ({})
        property var orders: []

        function copyToClipboard(text) {
            copied.push(text)
            return copies
        }
    }

    Component {
        id: centreComponent

        LeaderCenterDialog {
            opened: true
            api: fakeApi
            dataStore: fakeStore
            guid: 10001
        }
    }

    // The page members GroupFlow reads and writes (and a palette for its dialogs).
    Component {
        id: pageComponent

        ThemedScope {
            property var api: fakeApi
            property var dataStore: fakeStore
            property int guid: 10002
            property bool loggedIn: true
            property var games: []
            property var groupOrders: []
            property var orders: fakeStore.orders
            property var leaderTeam: fakeStore.leaderTeamDetail
            property var currentGroup: fakeStore.groupDetail
            property var payment: fakeApi.payment
            property string leaderTeamCode: ""
            property string leaderGameId: ""
            property bool leaderOpened: false
            property bool groupDetailOpened: false
            property bool groupDetailLoading: false
            property int groupDetailOrderId: 0

            signal toastRequested(string message, bool warning)
            signal loginRequested()

            function toast(message, warning) {
                toastRequested(message, warning === true)
            }

            function trace() {
            }

            function selectedPrice() {
                return flow.leaderTeamPrice()
            }

            GroupFlow {
                id: flow

                objectName: "flow"
                page: parent
            }
        }
    }

    Component {
        id: panelComponent

        LeaderJoinPanel {
            width: 860
        }
    }

    SignalSpy {
        id: panelSpy
    }


    SignalSpy {
        id: toasts

        signalName: "toastRequested"
    }

    TestCase {
        name: "GroupDialogs"
        when: windowShown

        function centre() {
            fakeApi.calls = []
            fakeStore.copied = []
            fakeStore.copies = true
            fakeStore.leaderTeamDetail = {}
            const dialog = createTemporaryObject(centreComponent, root)
            verify(dialog)
            toasts.target = dialog
            toasts.clear()
            return dialog
        }

        function lastToast() {
            return Array.from(toasts.signalArguments[toasts.count - 1])
        }

        function test_createTeam() {
            const dialog = centre()
            compare([dialog.section, dialog.selectedLine, dialog.selectedRegion, dialog.selectedSize],
                    ["create", "2", "1", 5])
            mouseClick(findChild(dialog, "createTeamButton"))
            compare(fakeApi.calls, [["teams", 1, 20], ["create", "2", "1", 5]])

            fakeApi.teamOffered = false
            dialog.selectedSize = 10
            dialog.createTeam()
            fakeApi.teamOffered = true
            compare(lastToast(), ["请选择有效的线路、人数和地区组合", true])

            fakeApi.leaderTeamCreated({ team_code: "NEW234" }, 0)
            compare([dialog.section, dialog.selectedTeamCode], ["teams", "NEW234"])
            compare(lastToast(), ["团长团创建成功", false])
        }

        function test_queryAndJoin() {
            const dialog = centre()
            dialog.section = "join"
            dialog.joinTeam()
            compare(lastToast(), ["请先查询团长团", true])

            fakeApi.calls = []
            dialog.queryTeam(" k7m2qx ")
            dialog.queryTeam("zzzz99")
            compare(fakeApi.calls, [["detail", 10001, "k7m2qx", 7001], ["detail", 10001, "zzzz99", 0]])

            fakeStore.leaderTeamDetail = { team_id: 7001, team_code: "K7M2QX", remaining_slots: 3,
                                       join_payload: { team_id: 7001, product_id: 41009, game_id: 5001 },
                                       games: [{ value: "com.valve.cs2", text: "CS2", available: true }] }
            fakeApi.leaderTeamDetailLoaded(fakeStore.leaderTeamDetail, 0)
            compare(dialog.selectedTeamCode, "K7M2QX")
            dialog.joinTeam()
            compare(lastToast(), ["请选择可用游戏", true])
            dialog.selectedGameId = "com.valve.cs2"
            mouseClick(findChild(dialog, "buySeatButton"))
            compare(fakeApi.calls[2], ["join", "K7M2QX", "com.valve.cs2", "团长团席位", 0])
        }

        function test_copyTeamCode_data() {
            return [
                { tag: "copied", code: "K7M2QX", copies: true, toast: ["团码已复制", false], copied: ["K7M2QX"] },
                { tag: "clipboard refused", code: "K7M2QX", copies: false, toast: ["团码复制失败", true],
                  copied: ["K7M2QX"] },
                { tag: "no code yet", code: "", copies: true, toast: ["当前团还没有团码", true], copied: [] }
            ]
        }

        function test_copyTeamCode(data) {
            const dialog = centre()
            fakeStore.copies = data.copies
            dialog.copyTeamCode(data.code)
            compare(lastToast(), data.toast)
            compare(fakeStore.copied, data.copied)
        }

        function test_nonLeaderJoinsOnly() {
            const entry = fakeStore.leaderEntry
            fakeStore.leaderEntry = { is_leader: false }
            const dialog = centre()
            compare(dialog.section, "join")
            dialog.createTeam()
            compare(lastToast(), ["当前账号暂未开通团长资格", true])
            compare(fakeApi.calls, []) // no teams to reload either
            fakeStore.leaderEntry = entry
        }

        function page(properties) {
            fakeApi.calls = []
            fakeApi.busy = false
            fakeStore.leaderTeamDetail = {}
            fakeStore.groupDetail = {}
            fakeStore.orders = []
            const p = createTemporaryObject(pageComponent, root, properties || {})
            verify(p)
            toasts.target = p
            toasts.clear()
            return p
        }

        function test_flowSeatOrder() {
            const p = page()
            const f = findChild(p, "flow")
            f.queryLeaderTeam("  k7m2qx ")
            compare(p.leaderTeamCode, "K7M2QX")
            compare(fakeApi.calls, [["detail", 10002, "K7M2QX", 7001]])
            compare(f.leaderTeamPrice(), 0)
            f.createLeaderSeatOrder()
            compare(lastToast(), ["请输入团码并查询拼团", true])

            fakeStore.leaderTeamDetail = { team_code: "K7M2QX", name: "团长团 · 5人团", price_fen: 2790,
                                           join_payload: { team_id: 7001, product_id: 41009, game_id: 5001 } }
            compare(f.leaderTeamPrice(), 2790)
            f.createLeaderSeatOrder()
            compare(lastToast(), ["请选择要加速的游戏", true])
            p.leaderGameId = "com.valve.cs2"
            f.createLeaderSeatOrder()
            compare(fakeApi.calls[1], ["join", "K7M2QX", "com.valve.cs2", "团长团 · 5人团", 2790])

            // Another code whose lookup has not answered: the old team is no longer the one shown.
            f.queryLeaderTeam("zzzz99")
            compare(f.leaderTeamPrice(), 0)
            f.createLeaderSeatOrder()
            compare(fakeApi.calls.length, 3)
        }

        function test_flowGroupDetail() {
            const paid = { order_id: 26000031, payment_status: "paid", team_type: "leader", team_id: 9,
                           group: { team_id: 9 } }
            const p = page({ groupOrders: [paid] })
            const f = findChild(p, "flow")
            const timer = findChild(f, "codeTimer")
            f.openMyGroups()
            compare(fakeApi.calls, [["orders", 1, 20], ["group", 26000031]])
            compare([p.groupDetailOpened, p.groupDetailLoading, p.groupDetailOrderId], [true, true, 26000031])
            verify(!timer.running)

            // A leader team without its code is asked for every 3 s, and no longer once the code is there.
            fakeStore.groupDetail = { team: { team_type: "leader", team_code: "" } }
            fakeApi.groupDetailLoaded(fakeStore.groupDetail, 0)
            compare([p.groupDetailLoading, lastToast()[0]], [false, "拼团状态已刷新"])
            compare([timer.running, timer.interval, timer.repeat], [true, 3000, true])
            fakeApi.busy = true
            timer.triggered()
            compare(fakeApi.calls.length, 2)
            fakeApi.busy = false
            timer.triggered()
            compare(fakeApi.calls[2], ["group", 26000031])
            verify(!timer.running) // loading again
            fakeStore.groupDetail = { team: { team_type: "leader", team_code: "K7M2QX" } }
            fakeApi.groupDetailLoaded(fakeStore.groupDetail, 0)
            verify(!timer.running)

            // Without an id anywhere there is nothing to ask for.
            const other = findChild(page(), "flow")
            other.refreshGroupDetail({})
            compare([other.page.groupDetailLoading, lastToast()], [false, ["暂时无法确定要查询的拼团订单", true]])
        }

        function test_flowAutoSelection() {
            const p = page()
            const f = findChild(p, "flow")
            // The client's own look-up after an order list does not open the detail.
            fakeApi.groupDetailLoaded({ team: { team_id: 3 } }, 0)
            compare([p.groupDetailOpened, toasts.count], [false, 0])
            f.openMyGroups()
            compare(fakeApi.calls, [["orders", 1, 20]])
            fakeStore.orders = [{ order_id: 0 }, { order_id: 26000001, product_type: "shared" }]
            fakeApi.ordersLoaded(fakeStore.orders, 1, 20, 2, false, 0)
            tryCompare(p, "groupDetailOrderId", 26000001)
            compare(fakeApi.calls[1], ["group", 26000001])
        }

        function test_joinPanel() {
            const panel = createTemporaryObject(panelComponent, root, { teamCode: "k7m2qx",
                team: { team_code: "K7M2QX", invite_link: "https://x/join" } })
            verify(panel.teamReady)
            panelSpy.target = panel
            panelSpy.signalName = "queryRequested"
            panelSpy.clear()
            findChild(panel, "codeInput").forceActiveFocus()
            keyClick(Qt.Key_A)
            keyClick(Qt.Key_B)
            keyClick(Qt.Key_Return)
            compare(panelSpy.signalArguments.map(a => Array.from(a)), [["ab"]])

            panelSpy.signalName = "copyRequested"
            panelSpy.clear()
            mouseClick(findChild(panel, "copyCodeButton"))
            mouseClick(findChild(panel, "copyLinkButton"))
            compare(panelSpy.signalArguments.map(a => Array.from(a)), [["code", "K7M2QX"], ["link", "https://x/join"]])
        }
    }
}
