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
