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

    function test_configMatch() {
        // The route client names a node by node_id before id: either identifies the route.
        const both = { id: "route-7", node_id: "node-7", web_url: "h" }
        verify(Session.nodeMatchesConfig(both, "route-7"))
        verify(Session.nodeMatchesConfig(both, "node-7"))
        verify(!Session.nodeMatchesConfig(both, "h"))
        verify(!Session.nodeMatchesConfig({ id: "" }, ""))
        const routes = [both, { id: "other" }, { node_id: "node-7", id: "x" }]
        const rebuilt = Session.routesWithConfig(routes, { outbounds: [] }, "node-7")
        compare(rebuilt.length, 3)
        verify(rebuilt !== routes)
        compare(rebuilt[0].config, { outbounds: [] })
        compare(rebuilt[0].id, "route-7")
        verify(rebuilt[1] === routes[1])
        compare(rebuilt[2].config, { outbounds: [] })
        verify(routes[0].config === undefined)
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

    function test_selectRoute_data() {
        const a = { id: "a", name: "A" }
        const fullB = { id: "b", full: true }
        const c = { route_id: "c" }
        const d = { name: "D" }
        return [
            { tag: "remembered", routes: [a, c, d], target: "c", node: c, matched: true },
            { tag: "remembered but full", routes: [fullB, a], target: "b", node: a, matched: false },
            { tag: "missing key", routes: [a, c], target: "gone", node: a, matched: false },
            { tag: "no target", routes: [null, a], target: "", node: a, matched: false },
            { tag: "first not full", routes: [fullB, d, a], target: "", node: d, matched: false },
            { tag: "name key", routes: [a, d], target: "D", node: d, matched: true },
            { tag: "all full", routes: [fullB, { id: "e", full: true }], target: "e", node: null, matched: false },
            { tag: "none", routes: [], target: "a", node: null, matched: false }
        ]
    }

    function test_selectRoute(data) {
        const choice = Session.selectRoute(data.routes, data.target)
        verify(choice.node === data.node)
        compare(choice.matched, data.matched)
    }

    function entries(count, importantEvery) {
        const list = []
        for (let i = 0; i < count; ++i)
            list.push({ time: "00:00:00", text: "line " + i, error: false, important: i % importantEvery === 0 })
        return list
    }

    function test_logTrim() {
        const never = () => false
        // Up to the cap nothing is dropped; past it the oldest plain entry goes. Lists are never reused.
        const start = entries(298, 1000)
        const at = Session.appendLogLines(start, "a\r\nb\n\n", never, "12:00:00")
        compare(at.length, 300)
        verify(at !== start)
        compare(start.length, 298)
        compare(at[0].text, "line 0")
        compare(at[299].text, "b")
        const past = Session.appendLogLines(at, "c", never, "t")
        compare(past.length, 300)
        // "line 0" is important and stays first; the oldest plain one, "line 1", goes.
        compare(past[0].text, "line 0")
        compare(past[1].text, "line 2")
        compare(past[299].text, "c")
        compare(Session.appendLogLines(at, "\n\r\n", never, "t"), at)

        // 30 important entries among 400: the last 20 lead, then the last 280 others in order.
        const trimmed = Session.trimLog(entries(400, 13))
        compare(trimmed.length, 300)
        for (let i = 0; i < 20; ++i)
            verify(trimmed[i].important)
        compare(trimmed[0].text, "line " + 13 * 11)
        compare(trimmed[19].text, "line 390")
        verify(!trimmed[20].important)
        compare(trimmed[299].text, "line 399")
        compare(trimmed.filter(e => e.important).length, 20)

        // Few important entries: all are kept, the others fill up to 300.
        const few = Session.trimLog(entries(310, 200))
        compare(few.length, 300)
        compare(few[0].text, "line 0")
        compare(few[1].text, "line 200")
        compare(few[2].text, "line 11")
    }

    function test_logLines() {
        const text = Session.stripAnsi("\x1b[36mINFO\x1b[0m ok\nERROR [GameIP] x\n")
        const list = Session.appendLogLines([], text, Session.isCoreErrorLine, "t")
        compare(list.length, 2)
        compare(list[0].text, "INFO ok")
        verify(!list[0].important && list[1].important)
        compare(list[0].error, false)
        compare(list[1].error, true)
        compare(Session.logText([{ time: "01:02:03", text: "a", error: true }, { time: "t", text: "b", error: false }]),
                "[01:02:03] [ERROR] a\n[t] b")
    }

    function test_coreErrorLine_data() {
        return [
            { tag: "timestamped", line: "+0800 2026-03-04 05:06:07 ERROR dns: failed", error: true },
            { tag: "coloured", line: Session.stripAnsi("+0800 x \x1b[31mFATAL\x1b[0m[0000] bad"), error: false },
            { tag: "coloured spaced", line: Session.stripAnsi("\x1b[31mFATAL\x1b[0m bad"), error: true },
            { tag: "lower case", line: "core panic now", error: true },
            { tag: "at the end", line: "level error", error: true },
            { tag: "inside a word", line: "INFO errors=0 terror", error: false },
            { tag: "bracketed", line: "ERROR[0000] x", error: false },
            { tag: "info", line: "INFO sing-box started", error: false }
        ]
    }

    function test_coreErrorLine(data) {
        compare(Session.isCoreErrorLine(data.line), data.error)
    }

    function test_figures() {
        compare(Session.maskUserName("13800138000"), "138****8000")
        compare(Session.maskUserName(""), "已登录")
        compare(Session.vipNumber({ vip_num: 0, vipNum: "3" }, 5), 3)
        compare(Session.vipNumber({ vip_num: 0 }, 5), 5)
        compare(Session.vipNumber(null, 0), 0)
        compare(Session.latencyBaseline({ latency: 0, ping: "38ms", ms: 41.6 }, { ping: 9 }), 42)
        compare(Session.latencyBaseline({}, { ping: 12 }), 12)
        compare(Session.latencyBaseline({ latency: -3 }, { ping: 0 }), 68)
        compare(Session.nextDisconnectedLatency(68, 0), 64)
        compare(Session.nextDisconnectedLatency(998, 1), 999)
        compare(Session.nextDisconnectedLatency(2, 0), 1)
        compare(Session.initialBoostedLatency({ ping: 0 }, 68), 33)
        compare(Session.initialBoostedLatency({ ping: 17 }, 68), 17)
        compare(Session.nextBoostedLatency(57, 1), 58)
        compare(Session.nextBoostedLatency(23, 0), 22)
        compare(Session.nextBoostedLatency(40, 0.75), 41.5)
    }

    function test_games() {
        const common = [{ id: 1, name: "a" }, { id: "jx3", name: "b" }]
        const page = [{ id: "1", name: "dup" }, { id: 2, name: "c" }]
        const known = Session.allKnownGames(common, page)
        compare(known.map(g => g.name), ["a", "b", "c"])
        compare(Session.gamesById(known)["2"].name, "c")
        compare(Session.categories(["MOBA", "", null, "射击", "MOBA", 3]), ["全部", "MOBA", "射击", "3"])
        compare(Session.gameRegion({ servers: ["国服"], country: "x" }), "国服")
        compare(Session.gameRegion({ servers: [], country: "美服" }), "美服")
        compare(Session.gameRegion({}), "默认区服")
        compare(Session.routeGamePayload({ id: 7, packageName: "p", country: "" }, "x", "区"),
                { id: "7", package_name: "p", country: "区", server: "区" })
        compare(Session.routeGamePayload({}, "lol", ""), { id: "lol", package_name: "", country: "", server: "" })
    }

    function test_routeConfigText() {
        compare(Session.routeConfigText({ config: { a: [1] } }), "{\"a\":[1]}")
        compare(Session.routeConfigText({ config: "", config_json: "{\"b\":1}" }), "{\"b\":1}")
        compare(Session.routeConfigText({ runtime_config: "{}" }), "{}")
        compare(Session.routeConfigText({}), "")
        compare(Session.routeConfigText(null), "")
    }
}
