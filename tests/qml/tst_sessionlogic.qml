import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/SessionLogic.js" as Session

TestCase {
    name: "SessionLogic"

    function test_kind_data() {
        return [
            { tag: "shared group", node: { source_group: "shared_list", name: "a" }, kind: "shared",
              detail: "可用线路", color: "P", icon: "globe" },
            { tag: "shared isp", node: { source: "shared", note: "isp 直连" }, kind: "isp",
              detail: "运营商 · isp 直连", color: "#ffb14d", icon: "bolt" },
            { tag: "home before idc", node: { source_group: "idc_list", name: "HOME_LIST x" }, kind: "native",
              detail: "原生住宅 · 可用线路", color: "N", icon: "shield" },
            { tag: "own group", node: { source_group: "idc_vip", note: "尊享机房" }, kind: "idc",
              detail: "IDC 专线 · 尊享机房", color: "#a879ff", icon: "link" },
            { tag: "chinese words", node: { type_name: "运营商专线" }, kind: "isp",
              detail: "运营商 · 可用线路", color: "#ffb14d", icon: "bolt" },
            { tag: "plain", node: { name: "华东 · 上海电信 BGP-3", note: "电信" }, kind: "standard",
              detail: "专线节点 · 电信", color: "#49d8ff", icon: "globe" },
            { tag: "missing", node: null, kind: "standard", detail: "专线节点 · 可用线路", color: "#49d8ff",
              icon: "globe" }
        ]
    }

    function test_kind(data) {
        compare(Session.nodeKind(data.node), data.kind)
        compare(Session.nodeDetailLabel(data.node), data.detail)
        compare(Session.nodeKindColor(data.node, "N", "P"), data.color)
        compare(Session.nodeKindIcon(data.node), data.icon)
        compare(Session.nodeTypeLabel(data.node), data.kind === "shared" ? "共享节点" : "独享节点")
    }

    function test_keys_data() {
        return [
            { tag: "id first", node: { id: " a ", node_id: "b", web_url: "h" }, request: "a", stable: "a" },
            { tag: "node_id", node: { id: "", node_id: 7 }, request: "7", stable: "7" },
            { tag: "route_id is stable only", node: { route_id: "r", connectHost: "198.51.100.1" },
              request: "198.51.100.1", stable: "r" },
            { tag: "key before endpoint", node: { key: "k", webUrl: "w" }, request: "w", stable: "k" },
            { tag: "name only", node: { name: "线路 1" }, request: "", stable: "线路 1" },
            { tag: "blank values skipped", node: { id: "  ", connect_host: "c", name: "n" }, request: "c",
              stable: "c" },
            { tag: "empty", node: {}, request: "", stable: "" }
        ]
    }

    function test_keys(data) {
        compare(Session.nodeRequestKey(data.node), data.request)
        compare(Session.nodeStableKey(data.node), data.stable)
        compare(Session.nodeRequestable(data.node), data.request !== "")
    }

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

    function test_ipList_data() {
        return [
            { tag: "separators", game: { ip_list: " 1.2.3.4,, 5.6.7.8;9.9.9.9\n10.0.0.0/24 " },
              ips: ["1.2.3.4", "5.6.7.8", "9.9.9.9", "10.0.0.0/24"] },
            { tag: "camel text", game: { ipList: "1.1.1.1 2.2.2.2" }, ips: ["1.1.1.1", "2.2.2.2"] },
            { tag: "list unchanged", game: { ip_list: [" a ", ""] }, ips: [" a ", ""] },
            { tag: "empty text falls back", game: { ip_list: "", ipList: ["b"] }, ips: ["b"] },
            { tag: "array-like", game: { ip_list: { length: 1, 0: "c" } }, ips: ["c"] },
            { tag: "number", game: { ip_list: 5 }, ips: [] },
            { tag: "none", game: {}, ips: [] },
            { tag: "no game", game: null, ips: [] }
        ]
    }

    function test_ipList(data) {
        const ips = Session.gameIpList(data.game)
        compare(ips.length, data.ips.length)
        for (let i = 0; i < ips.length; ++i)
            compare(ips[i], data.ips[i])
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
