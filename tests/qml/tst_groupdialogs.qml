import QtQuick
import QtTest
import Nimbra
import "qrc:/qt/qml/Nimbra/recharge"

Item {
    id: root

    width: 1000
    height: 760

    // The centre's rules and requests are tst_purchaseselection's; here the dialog shows it and reports.
    readonly property var leaderEntry: ({
        is_leader: true,
        node_types: [{ value: "2", text: "原生住宅 IP", node_type_id: 2,
                       regions: [{ value: "1", text: "国服", region_id: 1, region_key: "guofu" }] }],
        member_counts: [{ value: "5", text: "5" }, { value: "10", text: "10" }]
    })

    Component {
        id: centreComponent

        LeaderCenterDialog {
            id: dialog

            property var entry

            centre: LeaderCentre {
                opened: true
                entry: dialog.entry
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
        id: spy
    }

    TestCase {
        name: "GroupDialogs"
        when: windowShown

        function reported() {
            return spy.signalArguments.map(a => Array.from(a))
        }

        // Opening starts on the first tab the entry allows, once whoever opens has passed the entry in.
        function test_centreOpens_data() {
            return [
                { tag: "leader", leader: true, choices: ["create", "2", "1", 5] },
                { tag: "not a leader", leader: false, choices: ["join", "", "", 0] }
            ]
        }

        function test_centreOpens(data) {
            const entry = data.leader ? leaderEntry : { is_leader: false }
            const dialog = createTemporaryObject(centreComponent, root, { entry: entry })
            verify(dialog)
            const centre = dialog.centre
            tryCompare(centre, "section", data.choices[0])
            compare([centre.section, centre.line, centre.region, centre.size], data.choices)
            compare(findChild(dialog, "createTeamButton").visible, data.leader)
        }

        function test_joinPanel() {
            const panel = createTemporaryObject(panelComponent, root, { teamReady: true,
                team: { team_code: "K7M2QX", invite_link: "https://x/join" } })
            spy.target = panel
            spy.signalName = "queryRequested"
            spy.clear()
            findChild(panel, "codeInput").forceActiveFocus()
            keyClick(Qt.Key_A)
            keyClick(Qt.Key_B)
            keyClick(Qt.Key_Return)
            compare(reported(), [["ab"]])

            spy.signalName = "copyRequested"
            spy.clear()
            mouseClick(findChild(panel, "copyCodeButton"))
            mouseClick(findChild(panel, "copyLinkButton"))
            compare(reported(), [["code", "K7M2QX"], ["link", "https://x/join"]])
        }
    }
}
