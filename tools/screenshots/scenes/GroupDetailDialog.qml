import QtQuick
import "qrc:/qt/qml/Nimbra/recharge"

// The group detail without group orders, with a forming and a formed normal group, and with a leader
// team whose code is still being issued, while it refreshes.
Rectangle {
    id: scene

    property bool lightMode: false

    readonly property var orders: [
        { order_id: 26000061, product_name: "数据中心 IP · 国服 · 5人拼团", payment_status: "paid",
          price_text: "19.9", payment_status_text: "已支付", group_id: 7002 },
        { order_id: 26000048, product_name: "原生住宅 IP · 韩服 · 10人拼团", payment_status: "paid",
          price_text: "22.9", payment_status_text: "已支付", group_id: 7003 },
        { order_id: 26000031, product_name: "家庭宽带 IP · 日服 · 5人团长团席位", payment_status: "paid",
          price_text: "23.9", payment_status_text: "已支付", team_type: "leader", group: { team_type: "leader", team_code: "" } }
    ]
    // A paid member as RechargeApi hands it over.
    function member(nickname, game, statusText) {
        return { nickname: nickname, display_name: nickname, game_name: game, has_game: true, status_text: statusText,
                 pay_status: "paid", status: "" }
    }

    readonly property var forming: ({
        team: { team_id: 7002, team_type: "normal", name: "数据中心 IP · 国服 · 5人团", status_label: "组团中",
                node_type_name: "数据中心 IP", region_name: "国服", paid_member_count: 3, member_count: 5,
                members: [scene.member("夜风", "英雄联盟", "已支付"), scene.member("北岛", "CS2", ""),
                          scene.member("我", "com.riotgames.valorant", "")] }
    })
    readonly property var formed: ({
        team: { team_id: 7003, name: "原生住宅 IP · 韩服 · 10人团", status: "formed", node_type_name: "原生住宅 IP",
                paid_member_count: 10, member_count: 10,
                members: ["夜风", "阿狸不吃鱼", "北岛", "咸鱼翻身", "鹿鸣", "Kyo", "半糖", "老王", "小满", "我"]
                         .map(n => scene.member(n, "魔兽世界", "")) }
    })
    readonly property var leader: ({ team: { team_type: "leader", team_code: "", name: "团长团 · 家庭宽带 IP · 日服 · 5人团",
                                             paid_member_count: 2, member_count: 5, status: "forming",
                                             node_type_name: "家庭宽带 IP" } })

    width: 2 * 900 + 3 * 24
    height: 2 * 600 + 3 * 24
    color: lightMode ? "#e9eff7" : "#070c18"

    Grid {
        x: 24
        y: 24
        columns: 2
        spacing: 24

        Repeater {
            model: [
                { group: {}, orders: [], id: 0, loading: false },
                { group: scene.forming, orders: scene.orders, id: 26000061, loading: false },
                { group: scene.formed, orders: scene.orders, id: 26000048, loading: false },
                { group: scene.leader, orders: scene.orders, id: 26000031, loading: true }
            ]

            delegate: Item {
                id: cell

                required property var modelData

                width: 900
                height: 600

                GroupDetailDialog {
                    opened: true
                    lightMode: scene.lightMode
                    group: cell.modelData.group
                    orders: cell.modelData.orders
                    selectedOrderId: cell.modelData.id
                    selectedOrder: cell.modelData.orders.find(o => o.order_id === cell.modelData.id) || {}
                    loading: cell.modelData.loading
                }
            }
        }
    }
}
