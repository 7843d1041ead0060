import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/games/GameListLogic.js" as Logic

TestCase {
    name: "GameListLogic"

    function test_emptyGame() {
        const a = Logic.emptyGame()
        compare(a.id, "")
        compare(a.name, "暂无游戏")
        compare(a.vendor, "等待游戏列表")
        compare(a.hue, 220)
        compare(a.servers, ["默认区服"])
        // Every call hands out a fresh record, so a caller changing one cannot affect the next.
        a.servers.push("x")
        a.ip_list.push("192.0.2.1")
        compare(Logic.emptyGame().servers, ["默认区服"])
        compare(Logic.emptyGame().ip_list.length, 0)
    }

    function test_matchesGame() {
        const game = { name: "英雄联盟", title: "LoL", en: "LOL" }
        verify(Logic.matchesGame(game, ""))
        verify(Logic.matchesGame(game, "  "))
        verify(Logic.matchesGame(game, "联盟"))
        verify(Logic.matchesGame(game, " lo "))
        verify(!Logic.matchesGame(game, "剑网"))
        // The title is only a fallback for a missing name.
        verify(!Logic.matchesGame({ name: "原神", title: "Genshin", en: "原神" }, "genshin"))
        verify(Logic.matchesGame({ title: "Genshin", en: "GE" }, "SHIN"))
        verify(!Logic.matchesGame(null, "a"))
    }

    function test_imageSource() {
        const root = "qrc:/assets"
        compare(Logic.imageSource({ id: "jx3", iconSource: "" }, root, "icon"), "qrc:/assets/icons/jx3.jpg")
        compare(Logic.imageSource({ id: "jx3" }, root, "background"), "qrc:/assets/bgs/jx3.jpg")
        compare(Logic.imageSource({ id: " ", iconSource: "" }, root, "icon"), "")
        // Only the bundled games have pictures of their own.
        compare(Logic.imageSource({ id: "10001", iconSource: "" }, root, "icon"), "")
        compare(Logic.imageSource({ id: 7, iconSource: "http://127.0.0.1/a.PNG" }, root, "icon"),
                "http://127.0.0.1/a.PNG")
        compare(Logic.imageSource({ id: 7, backgroundSource: "http://h.test/b.webp?x=1" }, root, "background"), "")
        compare(Logic.imageSource({ id: 7, iconSource: "http://h.test/b.AVIF#frag" }, root, "icon"), "")
        compare(Logic.imageSource({ id: 7, iconSource: "http://h.test/b.jxl" }, root, "icon"), "")
        compare(Logic.imageSource({ id: 7, iconSource: "http://h.test/webp/b.jpg" }, root, "icon"),
                "http://h.test/webp/b.jpg")
        compare(Logic.imageSource(null, root, "icon"), "")
    }

    function test_clampPage_data() {
        return [
            { tag: "inside", page: 2, totalPages: 3, expected: 2 },
            { tag: "beyond the last", page: 9, totalPages: 3, expected: 3 },
            { tag: "below the first", page: 0, totalPages: 3, expected: 1 },
            { tag: "no pages reported", page: 2, totalPages: 0, expected: 1 },
            { tag: "not a number", page: NaN, totalPages: 4, expected: 1 }
        ]
    }

    function test_clampPage(data) {
        compare(Logic.clampPage(data.page, data.totalPages), data.expected)
    }

    function test_widthsAndCategory() {
        compare(Logic.tagWidth("MOBA"), 62)
        compare(Logic.tagWidth("国服"), 38)
        compare(Logic.chipWidth("全部"), 65)
        compare(Logic.categoryParam("全部"), "")
        compare(Logic.categoryParam("射击"), "射击")
        compare(Logic.gameId({ id: 10004 }), "10004")
        compare(Logic.gameId({ id: " lol " }), "lol")
        compare(Logic.gameId(null), "")
    }
}
