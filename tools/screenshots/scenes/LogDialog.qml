import QtQuick
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"

// The run log at its largest (760 × 560) while the core runs, with its latency chart: the player's log
// (start, measurement, a move, an error) by default; with technical, the full log (HTTP lines, an
// address-list line, the core's errors and a long wrapped line).
Rectangle {
    id: scene

    property bool lightMode: false
    property bool technical: false

    width: 760 + 48
    height: 560 + 48
    color: lightMode ? "#e9eff7" : "#070c18"

    Rectangle {
        anchors.fill: parent
        color: scene.lightMode ? "#52000000" : "#85000000"
    }

    LogDialog {
        x: 24
        y: 24
        width: 760
        height: 560
        lightMode: scene.lightMode
        running: true
        technical: scene.technical
        log: RunLogModel {}
        playerLog: RunLogModel {}
        history: LatencyHistoryModel {}
        // A minute of rounds every 2 s: a steady line, a lossy stretch and one round with no answer.
        Component.onCompleted: {
            for (let i = 0; i < 30; ++i)
                history.append(2000 * i, i === 17 ? -1 : 34 + (i % 5) * 3 + (i > 12 && i < 20 ? 25 : 0),
                               i > 12 && i < 20 ? 0.2 : 0)
            for (const entry of entries)
                log.append(entry.text, entry.error, entry.time)
            for (const entry of playerEntries)
                playerLog.append(entry.text, entry.error, entry.time)
        }
        readonly property var playerEntries: [
            { time: "21:04:14", text: "测速完成：智能选路选用 华东 · 电信 BGP · 34 ms", error: false },
            { time: "21:04:16", text: "加速已开始 · 英雄联盟 · 华东", error: false },
            { time: "21:04:40", text: "线路 华东 丢包过高或无响应，正在切换到 华南 · 联通", error: true },
            { time: "21:04:42", text: "已切换到线路 华南，加速继续", error: false }
        ]
        readonly property var entries: [
            { time: "21:04:11", text: "[UI] 主界面初始化完成", error: false, important: false },
            { time: "21:04:11", text: "[HTTP] POST /api/user/gamelist/common status=200 elapsed=38ms", error: false,
              important: false },
            { time: "21:04:12", text: "[UI] 请求实时线路 reason=game-changed gameId=lol", error: false, important: false },
            { time: "21:04:12", text: "[Route] 线路列表 count=10 gameId=lol", error: false, important: false },
            { time: "21:04:13", text: "[UI] 节点配置已更新 gameId=lol nodeId=n2", error: false, important: false },
            { time: "21:04:15", text: "[GameIP] 执行Route package=com.tencent.lol count=6 ips=203.0.113.0/24, 198.51.100.0/24, 192.0.2.0/24, 203.0.113.64/26, 198.51.100.128/25, 192.0.2.200/32",
              error: false, important: true },
            { time: "21:04:15", text: "nimbra-server 已启动", error: false, important: false },
            { time: "21:04:16", text: "+0800 2024-05-01 21:04:16 INFO inbound/tun[tun-in]: started at nimbra-tun",
              error: false, important: false },
            { time: "21:04:20", text: "+0800 2024-05-01 21:04:20 ERROR outbound/shadowsocks[proxy]: dial tcp 203.0.113.9:443: i/o timeout",
              error: true, important: false },
            { time: "21:04:21", text: "[UI] AcceleratorApi 失败 op=accelerator_node_list message=网络连接失败，请检查网络后重试",
              error: true, important: false },
            { time: "21:04:30", text: "[HTTP] POST /api/user/points/node-lists status=200 elapsed=51ms", error: false,
              important: false }
        ]
    }
}
