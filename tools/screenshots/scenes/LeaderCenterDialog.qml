import QtQuick
import Nimbra
import "qrc:/qt/qml/Nimbra/recharge"

// The team-leader centre of a leader on its three sections (create, teams, join with a found team
// and a game chosen), and of an account that is no leader (join only).
Rectangle {
    id: scene

    property bool lightMode: false

    readonly property var entry: ({
        is_leader: true,
        node_types: [
            { value: "1", text: "数据中心 IP", node_type_id: 1, node_type_key: "datacenter",
              regions: [{ value: "1", text: "国服", region_id: 1, region_key: "guofu" },
                        { value: "2", text: "韩服", region_id: 2, region_key: "hanfu" },
                        { value: "5", text: "国际服", region_id: 5, region_key: "global" }] },
            { value: "2", text: "原生住宅 IP", node_type_id: 2, node_type_key: "residential",
              regions: [{ value: "2", text: "韩服", region_id: 2, region_key: "hanfu" }] },
            { value: "5", text: "IPLC 专线", node_type_id: 5, node_type_key: "iplc",
              regions: [{ value: "1", text: "国服", region_id: 1, region_key: "guofu" }] }
        ],
        member_counts: [{ value: "5", text: "5" }, { value: "10", text: "10" }],
        price_map: {}
    })
    readonly property var teams: [
        { team_id: 7010, team_code: "K7M2QX", name: "团长团 · 数据中心 IP · 国服 · 5人团", paid_member_count: 2,
          member_count: 5, status_label: "组团中" },
        { team_id: 7006, team_code: "", name: "团长团 · 原生住宅 IP · 韩服 · 10人团", member_count: 10, status: "pending" },
        { team_id: 7005, team_code: "P9WQ3Z", name: "团长团 · 原生住宅 IP · 韩服 · 10人团", paid_member_count: 10,
          member_count: 10, status: "formed" },
        { team_id: 7003, team_code: "H4TN8C", name: "团长团 · IPLC 专线 · 亚洲服 · 5人团", paid_member_count: 1,
          member_count: 5, status: "expired" }
    ]
    readonly property var team: ({
        team_id: 7010, team_code: "K7M2QX", name: "团长团 · 数据中心 IP · 国服 · 5人团", remaining_slots: 3,
        games: [
            { value: "com.tencent.lol", text: "英雄联盟", available: false },
            { value: "com.valve.cs2", text: "CS2", available: true },
            { value: "com.blizzard.wow", text: "魔兽世界", available: true },
            { value: "com.riotgames.valorant", text: "无畏契约", available: true },
            { value: "com.mihoyo.genshin", text: "原神", available: true },
            { value: "com.netease.naraka", text: "永劫无间", available: false },
            { value: "com.tencent.dnf", text: "地下城与勇士", available: true },
            { value: "com.mojang.minecraft", text: "我的世界", available: true }
        ]
    })

    width: 2 * 720 + 3 * 24
    height: 2 * 620 + 3 * 24
    color: lightMode ? "#e9eff7" : "#070c18"

    Grid {
        x: 24
        y: 24
        columns: 2
        spacing: 24

        Repeater {
            model: ["create", "teams", "join"]

            delegate: Item {
                id: cell

                required property string modelData

                width: 720
                height: 620

                LeaderCenterDialog {
                    lightMode: scene.lightMode
                    centre: LeaderCentre {
                        id: centre

                        entry: scene.entry
                        teams: scene.teams
                        team: scene.team
                        teamCode: "K7M2QX"
                        gameId: "com.valve.cs2"
                        opened: true
                        // Opening starts on the first tab; the section is chosen afterwards.
                        Component.onCompleted: Qt.callLater(() => centre.section = cell.modelData)
                    }
                }
            }
        }

        Item {
            width: 720
            height: 620

            LeaderCenterDialog {
                lightMode: scene.lightMode
                centre: LeaderCentre {
                    entry: ({ is_leader: false })
                    opened: true
                }
            }
        }
    }
}
