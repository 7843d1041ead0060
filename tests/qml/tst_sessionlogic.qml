import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/SessionLogic.js" as Session

TestCase {
    name: "SessionLogic"

    function test_rate_data() {
        return [
            { tag: "negative", value: -5, text: "0 B/s" },
            { tag: "invalid", value: "abc", text: "0 B/s" },
            { tag: "bytes", value: 1023.4, text: "1023 B/s" },
            { tag: "one K", value: 1024, text: "1.0 K/s" },
            { tag: "1.5 K", value: 1536, text: "1.5 K/s" },
            { tag: "below 100 K", value: 102399, text: "100.0 K/s" },
            { tag: "200 K", value: 204800, text: "200 K/s" },
            { tag: "one M", value: 1048576, text: "1.0 M/s" },
            { tag: "text number", value: "3145728", text: "3.0 M/s" },
            { tag: "12 M", value: 12 * 1048576 + 1, text: "12 M/s" }
        ]
    }

    function test_rate(data) {
        compare(Session.formatNetworkRate(data.value), data.text)
    }

    function test_sessionFigures_data() {
        return [
            { tag: "nothing yet", seconds: 0, sent: 0, received: -1, text: "加速时长 00:00:00 · 节点延迟 —（平均 —） · 加速流量 ↑ 0 B ↓ 0 B",
              latency: "—", average: "—" },
            { tag: "an evening", seconds: 100 * 3600 + 61, sent: 1536, received: 5.5 * 1048576, latency: "42 ms", average: "45 ms",
              text: "加速时长 100:01:01 · 节点延迟 42 ms（平均 45 ms） · 加速流量 ↑ 1.5 KB ↓ 5.5 MB" },
            { tag: "gigabytes", seconds: 59.9, sent: 3 * 1073741824, received: 12 * 1048576, latency: "8 ms", average: "9 ms",
              text: "加速时长 00:00:59 · 节点延迟 8 ms（平均 9 ms） · 加速流量 ↑ 3.0 GB ↓ 12 MB" }
        ]
    }

    function test_sessionFigures(data) {
        compare(Session.sessionSummary(data.seconds, data.latency, data.average, data.sent, data.received), data.text)
    }

    function test_figures() {
        compare(Session.maskUserName("13800138000"), "138****8000")
        compare(Session.maskUserName(""), "已登录")
        compare(Session.vipNumber({ vip_num: 0, vipNum: "3" }, 5), 3)
        compare(Session.vipNumber({ vip_num: 0 }, 5), 5)
        compare(Session.vipNumber(null, 0), 0)
    }

    function test_games() {
        const common = [{ id: 1, name: "a" }, { id: "jx3", name: "b" }]
        const page = [{ id: "1", name: "dup" }, { id: 2, name: "c" }]
        const known = Session.allKnownGames(common, page)
        compare(known.map(g => g.name), ["a", "b", "c"])
        compare(Session.gamesById(known)["2"].name, "c")
        compare(Session.categories(["MOBA", "", null, "射击", "MOBA", 3]), ["全部", "MOBA", "射击", "3"])
    }

}
