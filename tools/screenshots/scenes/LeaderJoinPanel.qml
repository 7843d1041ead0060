import QtQuick
import "qrc:/qt/qml/Nimbra/recharge"

// The team-leader join panel before a lookup (left) and with a found team of twelve members, capped
// at ten slots, and a game chosen (right).
Rectangle {
    id: scene

    property bool lightMode: false
    readonly property var names: ["夜风", "阿狸不吃鱼", "北岛", "咸鱼翻身", "鹿鸣", "Kyo", "半糖", "老王", "小满", "晴川",
                                  "一只猫", "Zed"]
    readonly property var team: ({
        team_id: 7004, team_code: "K7M2QX", name: "团长团 · 数据中心 IP · 国服 · 10人团",
        node_type_name: "数据中心 IP", node_type_key: "datacenter", region_name: "国服", member_count: 10,
        paid_member_count: 3, status_label: "组团中", created_at: 1798675200,
        expire_at: 1798761600, invite_link: "https://nimbra.example/pintuan/join?team_code=K7M2QX",
        members: scene.names.map((n, i) => ({ nickname: n, display_name: n, game_name: i % 4 === 3 ? "" : "com.game." + i,
                                              has_game: i % 4 !== 3, status_text: "", pay_status: "", status: "" })),
        games: [
            { value: "com.tencent.lol", text: "英雄联盟", available: false },
            { value: "com.valve.cs2", text: "CS2", available: true },
            { value: "com.riotgames.valorant", text: "无畏契约", available: true }
        ]
    })

    width: 2 * 860 + 3 * 24
    height: 1020
    color: lightMode ? "#e9eff7" : "#070c18"

    Row {
        x: 24
        y: 24
        spacing: 24

        LeaderJoinPanel {
            width: 860
            lightMode: scene.lightMode
        }

        LeaderJoinPanel {
            width: 860
            lightMode: scene.lightMode
            team: scene.team
            teamReady: true
            availableGames: scene.team.games
            selectedGameId: "com.valve.cs2"
        }
    }
}
