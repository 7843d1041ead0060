import QtQuick
import QtTest
import Nimbra

Item {
    id: root

    width: 1240
    height: 760

    readonly property var sampleGames: [
        { id: "lol", name: "英雄联盟", title: "英雄联盟", en: "英雄", hue: 222, cat: "国服", vendor: "国服", hot: true },
        { id: "10004", name: "英雄联盟", title: "英雄联盟", en: "英雄", hue: 48, cat: "韩服", vendor: "韩服", hot: false },
        { id: "cs2", name: "CS2", title: "CS2", en: "CS2", hue: 90, cat: "全部", vendor: "在线游戏", hot: true }
    ]

    Component {
        id: listComponent

        GameListView {
            width: 348
            height: 640
        }
    }

    Component {
        id: libraryComponent

        GameLibraryView {
            width: 1218
            height: 716
        }
    }

    Component {
        id: tileComponent

        GameTile {}
    }

    Item {
        id: iconBox

        width: 24
        height: 24

        Icon {
            id: icon

            width: 12
            height: 12
            name: "stop"
            color: "#ff0000"
        }
    }

    SignalSpy {
        id: pageSpy

        signalName: "pageRequested"
    }

    TestCase {
        name: "GameViews"
        when: windowShown

        function createLibrary(properties) {
            const view = createTemporaryObject(libraryComponent, root, properties)
            verify(view)
            pageSpy.clear()
            pageSpy.target = view
            return view
        }

        function test_searchDebounce_data() {
            return [
                { tag: "all categories", category: "全部", expectedCategory: "" },
                { tag: "one category", category: "射击", expectedCategory: "射击" }
            ]
        }

        // Fast typing sends one request, for page 1, once the typing pauses.
        function test_searchDebounce(data) {
            const view = createLibrary({ categories: ["全部", "射击"], selectedCategory: data.category, page: 3,
                                         totalPages: 5, games: root.sampleGames })
            const input = findChild(view, "searchInput")
            input.forceActiveFocus()
            for (const key of [Qt.Key_A, Qt.Key_P, Qt.Key_E, Qt.Key_X])
                keyClick(key)
            compare(view.searchText, "apex")
            compare(pageSpy.count, 0)
            tryCompare(pageSpy, "count", 1, 1000)
            compare(Array.from(pageSpy.signalArguments[0]), [1, data.expectedCategory, "apex"])
            wait(400)
            compare(pageSpy.count, 1)
        }

        // Four hundred categories stay one line above the grid, and the keyboard reaches any of them:
        // Tab into the row, arrows along it (scrolling it), Return to choose; the mouse wheel scrolls it.
        function test_categoryFlood() {
            const categories = ["全部"]
            for (let i = 1; i <= 400; ++i)
                categories.push("分类" + i)
            const view = createLibrary({ categories: ["全部", "射击"], games: root.sampleGames })
            const gridTop = findChild(view, "libraryGrid").y
            view.categories = categories
            const chips = findChild(view, "categoryChips")
            compare(chips.height, 30)
            compare(findChild(view, "libraryGrid").y, gridTop)
            findChild(view, "searchInput").forceActiveFocus()
            keyClick(Qt.Key_Tab)
            verify(chips.activeFocus)
            for (let i = 0; i < 40; ++i)
                keyClick(Qt.Key_Right)
            const chip = chips.currentItem
            compare(chip.category, "分类40")
            verify(chip.x >= chips.contentX && chip.x + chip.width <= chips.contentX + chips.width)
            keyClick(Qt.Key_Return)
            compare(view.selectedCategory, "分类40")
            compare(Array.from(pageSpy.signalArguments[0]), [1, "分类40", ""])
            // A mouse wheel moves the row too.
            const before = chips.contentX
            mouseWheel(chips, 100, 15, 0, -120)
            compare(chips.contentX, before + 120)
        }

        function test_pager_data() {
            return [
                { tag: "next on the last page", page: 3, totalPages: 3, button: "nextPage", expected: [] },
                { tag: "next", page: 2, totalPages: 3, button: "nextPage", expected: [3] },
                { tag: "previous on the first page", page: 1, totalPages: 3, button: "previousPage", expected: [] },
                { tag: "previous", page: 2, totalPages: 3, button: "previousPage", expected: [1] },
                { tag: "next while busy", page: 1, totalPages: 3, busy: true, button: "nextPage", expected: [] },
                { tag: "beyond the last is clamped", page: 2, totalPages: 3, request: 9, expected: [3] },
                { tag: "no pages reported", page: 1, totalPages: 0, request: 2, expected: [1] }
            ]
        }

        function test_pager(data) {
            const view = createLibrary({ page: data.page, totalPages: data.totalPages, busy: data.busy === true,
                                         games: root.sampleGames })
            if (data.button) {
                const button = findChild(view, data.button)
                mouseClick(button)
                button.forceActiveFocus()
                keyClick(Qt.Key_Return)
            } else {
                view.requestCurrentPage(data.request)
            }
            const pages = data.button ? data.expected.concat(data.expected) : data.expected
            compare(pageSpy.count, pages.length)
            for (let i = 0; i < pages.length; ++i)
                compare(pageSpy.signalArguments[i][0], pages[i])
            compare(findChild(view, "pageText").text, data.page + " / " + Math.max(1, data.totalPages))
        }

        function test_tilePicture_data() {
            return [
                { tag: "webp", source: "http://127.0.0.1:9/icons/10020.webp?v=3", pictureShown: false },
                { tag: "jpeg", source: "qrc:/assets/icons/lol.jpg", pictureShown: true }
            ]
        }

        // A picture the decoder cannot read leaves the hue gradient and the label in place.
        function test_tilePicture(data) {
            const tile = createTemporaryObject(tileComponent, root, { label: "DO", hue: 120, imageSource: data.source })
            const label = findChild(tile, "tileLabel")
            tryCompare(tile, "imageShown", data.pictureShown)
            compare(label.visible, !data.pictureShown)
            const top = Qt.hsla(120 / 360, 0.72, 0.60, 1)
            const near = pixel => Math.abs(pixel.r - top.r) < 0.1 && Math.abs(pixel.g - top.g) < 0.1
                                  && Math.abs(pixel.b - top.b) < 0.1
            // The top edge shows the gradient, or the picture drawn over it.
            tryVerify(() => near(grabImage(tile).pixel(tile.width / 2, 1)) !== data.pictureShown, 1000)
        }

        function test_tileLabelFits_data() {
            return [
                { tag: "short", label: "DO", large: false },
                { tag: "Chinese name", label: "无畏契约", large: false },
                { tag: "Chinese name, large", label: "无畏契约", large: true },
                { tag: "long Latin", label: "VALORANT RANKED", large: true }
            ]
        }

        // A label wider than the tile shrinks or elides inside it, never spills past either side.
        function test_tileLabelFits(data) {
            const tile = createTemporaryObject(tileComponent, root, { label: data.label, large: data.large })
            const label = findChild(tile, "tileLabel")
            const left = label.x + (label.width - label.contentWidth) / 2
            verify(left >= 0, "left edge " + left)
            verify(left + label.contentWidth <= tile.width, "right edge " + (left + label.contentWidth))
            verify(label.fontInfo.pixelSize >= 10)
        }

        function test_commonList_data() {
            return [
                { tag: "search without matches", games: root.sampleGames, search: "zzz", rows: 0, emptyShown: false },
                { tag: "search by label", games: root.sampleGames, search: "cs", rows: 1, emptyShown: false },
                { tag: "loading", games: [], loading: true, rows: 0, emptyShown: true, text: "正在从服务器加载…" },
                { tag: "loaded empty", games: [], rows: 0, emptyShown: true, text: "暂无常用游戏" }
            ]
        }

        function test_commonList(data) {
            const view = createTemporaryObject(listComponent, root,
                                               { games: data.games, loading: data.loading === true,
                                                 emptyText: "暂无常用游戏" })
            // Ctrl+K, as the field's hint promises.
            keyClick(Qt.Key_K, Qt.ControlModifier)
            const input = findChild(view, "searchInput")
            verify(input.activeFocus)
            for (const ch of data.search || "")
                keyClick(ch)
            compare(view.filteredGames.length, data.rows)
            compare(findChild(view, "gameList").count, data.rows)
            const emptyState = findChild(view, "emptyState")
            compare(emptyState.visible, data.emptyShown)
            if (data.emptyShown)
                compare(emptyState.children[0].text, data.text)
        }

        // The list is one Tab stop that is entered on the chosen game; the arrows move the focused row and
        // Enter chooses it.
        function test_commonListKeys() {
            const view = createTemporaryObject(listComponent, root, { games: root.sampleGames, selectedGameId: "10004" })
            let chosen = null
            view.gameSelected.connect(game => chosen = game)
            const list = findChild(view, "gameList")
            const focusedId = () => list.activeFocus ? root.Window.activeFocusItem.modelData.id : ""
            findChild(view, "searchInput").forceActiveFocus()
            const steps = [[Qt.Key_Tab, "10004"], [Qt.Key_Down, "cs2"], [Qt.Key_Down, "cs2"], [Qt.Key_Up, "10004"],
                           [Qt.Key_Up, "lol"], [Qt.Key_Tab, ""], [Qt.Key_Backtab, "10004"], [Qt.Key_Up, "lol"]]
            for (const [key, id] of steps) {
                keyClick(key, key === Qt.Key_Backtab ? Qt.ShiftModifier : Qt.NoModifier)
                compare(focusedId(), id, "after key " + key)
            }
            keyClick(Qt.Key_Return)
            compare(chosen.id, "lol")
            keyClick(Qt.Key_Backtab, Qt.ShiftModifier)
            verify(findChild(view, "searchInput").activeFocus)
        }

        // Resizing repaints at the new scale: the filled square (6..18 on the grid) must cover the
        // centre of a 24-pixel icon, which lies outside it at 12 pixels.
        function test_iconRepaintsOnResize() {
            icon.width = 12
            icon.height = 12
            tryVerify(() => {
                const small = grabImage(iconBox)
                return Qt.colorEqual(small.pixel(6, 6), "#ff0000") && !Qt.colorEqual(small.pixel(12, 12), "#ff0000")
            }, 1000)
            icon.width = 24
            icon.height = 24
            tryVerify(() => Qt.colorEqual(grabImage(iconBox).pixel(12, 12), "#ff0000"), 1000)
            const image = grabImage(iconBox)
            verify(Qt.colorEqual(image.pixel(16, 16), "#ff0000"))
            verify(!Qt.colorEqual(image.pixel(4, 4), "#ff0000"))
        }

        // A view created after the switch to the light theme starts light down to its delegates.
        function test_viewCreatedAfterThemeSwitch() {
            const theme = { dawn: false }
            theme.dawn = true
            const list = createTemporaryObject(listComponent, root, { lightMode: theme.dawn, games: root.sampleGames,
                                                                      selectedGameId: "cs2" })
            const library = createTemporaryObject(libraryComponent, root, { lightMode: theme.dawn,
                                                                            games: root.sampleGames })
            waitForRendering(library)
            compare(list.color, Qt.color("#52ffffff"))
            compare(findChild(list, "rowName").color, Qt.color("#182338"))
            compare(findChild(library, "cardName").color, Qt.color("#182338"))
            compare(findChild(library, "pageText").color, Qt.color("#b2182338"))
            list.lightMode = false
            compare(findChild(list, "rowName").color, Qt.color("#e6eefa"))
        }
    }
}
