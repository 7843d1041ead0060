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
            function createSeatOrder(team, code, game, name, fen) {
                fakeApi.calls.push(["join", code, game, name, fen])
                return {}
            }
        }

        signal leaderTeamCreated(var team, real serverTime)
        signal leaderTeamDetailLoaded(var team, real serverTime)
        signal requestFailed(string operation, string message)

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

        function test_joinPanel() {
            const panel = createTemporaryObject(panelComponent, root, { teamReady: true,
                team: { team_code: "K7M2QX", invite_link: "https://x/join" } })
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
