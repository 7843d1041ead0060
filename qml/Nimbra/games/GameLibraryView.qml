pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// The paged game library. Searching and filtering are done by the server: the view only asks for
// pages; the page it shows is whatever the state store holds.
Item {
    id: view

    property bool lightMode: false
    // The colours of the view and its parts, following lightMode.
    readonly property ThemeColors colors: ThemeColors { lightMode: view.lightMode }
    property string assetRoot: "qrc:/assets"

    property var games: []
    property var categories: ["全部"]
    property string selectedGameId: ""
    property int page: 1
    property int totalPages: 1
    property int total: 0
    property bool busy: false
    property string searchText: ""
    property string selectedCategory: "全部"

    readonly property int lastPage: Math.max(1, totalPages)
    readonly property int gameCount: (games || []).length

    signal gameSelected(var game)
    signal pageRequested(int page, string category, string keyword)

    function requestCurrentPage(nextPage) {
        // A request made now already carries the typed keyword.
        searchDebounce.stop()
        pageRequested(Logic.clampPage(nextPage, totalPages), Logic.categoryParam(selectedCategory), searchText)
    }

    function selectCategory(category) {
        if (category === selectedCategory)
            return
        selectedCategory = category
        requestCurrentPage(1)
    }

    implicitWidth: 1218
    implicitHeight: 716

    Timer {
        id: searchDebounce

        interval: 260
        onTriggered: view.requestCurrentPage(1)
    }

    SearchField {
        id: search

        objectName: "librarySearch"
        width: 420
        theme: view.colors
        placeholder: "搜索游戏名称，支持实时过滤"
        onTextChanged: {
            if (text === view.searchText)
                return
            view.searchText = text
            searchDebounce.restart()
        }
    }

    // One line whatever the number of categories: the row scrolls sideways (wheel, drag, scroll bar,
    // or the arrow keys once Tab has reached it) instead of pushing the grid and the pager down.
    ListView {
        id: chips

        objectName: "categoryChips"
        anchors.top: search.bottom
        anchors.topMargin: 14
        width: parent.width
        height: 30
        orientation: ListView.Horizontal
        spacing: 8
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        activeFocusOnTab: true
        keyNavigationEnabled: true
        currentIndex: Math.max(0, (view.categories || []).indexOf(view.selectedCategory))
        model: view.categories
        Accessible.role: Accessible.PageTabList
        Accessible.name: "游戏分类"
        onCurrentIndexChanged: positionViewAtIndex(currentIndex, ListView.Contain)

        ScrollBar.horizontal: ScrollBar {}

        // A mouse wheel turns vertically, which a sideways row ignores by itself.
        WheelHandler {
            acceptedDevices: PointerDevice.Mouse
            onWheel: event => {
                const last = chips.originX + Math.max(0, chips.contentWidth - chips.width)
                chips.contentX = Math.max(chips.originX, Math.min(last, chips.contentX - event.angleDelta.y))
            }
        }

        delegate: CategoryChip {
            theme: view.colors
            selectedCategory: view.selectedCategory
            onActivated: category => view.selectCategory(category)
        }
    }

    GridView {
        id: grid

        objectName: "libraryGrid"
        anchors.top: chips.bottom
        anchors.topMargin: 18
        anchors.bottom: pager.top
        anchors.bottomMargin: 14
        // The last column carries no gap on its right.
        width: parent.width + 16
        cellWidth: width / 4
        cellHeight: 164 + 14
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: view.games
        Accessible.role: Accessible.List
        Accessible.name: "游戏库"

        delegate: LibraryCard {
            width: grid.cellWidth - 16
            theme: view.colors
            assetRoot: view.assetRoot
            selectedGameId: view.selectedGameId
            onActivated: game => view.gameSelected(game)
        }
    }

    Text {
        objectName: "libraryStatus"
        anchors.centerIn: grid
        anchors.horizontalCenterOffset: -8
        visible: text !== ""
        textFormat: Text.PlainText
        text: view.busy ? "正在加载游戏…" : (view.gameCount === 0 ? "没有找到匹配的游戏" : "")
        color: view.colors.ink2
        font.family: Fonts.ui()
        font.pixelSize: 14
    }

    Row {
        id: pager

        objectName: "pager"
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        spacing: 14

        PagerButton {
            objectName: "previousPage"
            theme: view.colors
            text: "上一页"
            active: view.page > 1 && !view.busy
            onActivated: view.requestCurrentPage(view.page - 1)
        }

        Text {
            objectName: "pageText"
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: view.page + " / " + view.lastPage
            color: view.colors.ink2
            font.family: Fonts.latin()
            font.pixelSize: 13
        }

        PagerButton {
            objectName: "nextPage"
            theme: view.colors
            text: "下一页"
            active: view.page < view.totalPages && !view.busy
            onActivated: view.requestCurrentPage(view.page + 1)
        }
    }
}
