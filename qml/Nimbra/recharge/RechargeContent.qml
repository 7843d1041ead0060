import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// What the membership page shows under its overlays: one scrolling grid of plan cards whose header
// holds the summary, the mode tabs and the options of the chosen mode, and the bottom bar. Cards are
// made only as they scroll into view, so a mode with many plans still opens at once. (Not a bound
// component document: Qt 6.4 views refuse to make a bound header.)
Item {
    id: content

    required property ThemedScope theme
    required property PurchaseSelection selection
    required property GroupPurchase groups
    required property bool loggedIn
    // The purchase client is asking for something; an order is being created.
    required property bool loading
    required property bool creating
    required property string heroTitle
    required property string heroDescription

    readonly property bool groupMode: selection.mode === "group"
    readonly property string emptyText: {
        if (selection.errorMessage !== "")
            return selection.errorMessage
        if (groupMode && selection.teamSize > 0 && selection.products.length > 0)
            return selection.teamSize + "人暂无对应套餐"
        return "暂无可用套餐"
    }

    signal ordersRequested()
    signal loginRequested()
    signal toastRequested(string message, bool warning)
    signal copyRequested(string kind, string value)

    GridView {
        id: grid

        objectName: "planGrid"
        anchors.fill: parent
        anchors.bottomMargin: bottomBar.height + 14
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        cellWidth: Math.floor(width / Math.max(1, Math.floor(width / 290)))
        // Room for a plan name on two lines above six benefits.
        cellHeight: 336
        // Joining a leader's team buys its seat at the team's price: no plan of the list is offered there.
        model: content.selection.leaderMethod ? [] : content.selection.currentProducts
        cacheBuffer: 300
        // Whether the user has scrolled away from the top; until then the top stays in view.
        property bool leftTop: false

        function settleTop() {
            if (leftTop) {
                returnToBounds()
            } else {
                cancelFlick()
                contentY = originY
            }
        }

        onMovementEnded: leftTop = !atYBeginning

        // The chosen plan is what the bottom bar offers to pay for: bring its card into view.
        function showSelected() {
            const index = content.selection.planIndex
            if (index < 0 || index >= count)
                return
            positionViewAtIndex(index, GridView.Contain)
            leftTop = !atYBeginning
        }

        // On the next turn, once the cards of a new product list exist.
        Timer {
            id: showSelectedLater

            interval: 0
            onTriggered: grid.showSelected()
        }

        // Group plans sit below tall options: follow the chosen one there. Other modes keep still, so
        // the chips a user is clicking stay under the pointer.
        Connections {
            target: content.selection

            function onPlanIndexChanged() {
                if (content.groupMode)
                    showSelectedLater.restart()
            }
            function onCurrentProductsChanged() {
                if (content.groupMode)
                    showSelectedLater.restart()
            }
        }

        // The header, footer and delegate are components that reach the ids around them, which Qt
        // 6.4's qmllint follows only in bound components.
        // qmllint disable unqualified
        header: Column {
            width: grid.width
            spacing: 14
            bottomPadding: 12

            MembershipHero {
                width: parent.width
                theme: content.theme
                title: content.heroTitle
                description: content.heroDescription
                loggedIn: content.loggedIn
                onOrdersRequested: content.ordersRequested()
                onRenewRequested: {
                    if (content.loggedIn)
                        content.selection.selectMode("shared")
                    else
                        content.loginRequested()
                }
            }

            ChoiceRow {
                objectName: "modeTabs"
                width: parent.width
                theme: content.theme
                choices: [
                    { key: "shared", title: "共享", subtitle: "高性价比 · 共享节点" },
                    { key: "private", title: "独享", subtitle: "一人一址 · 安全独享" },
                    { key: "group", title: "拼团", subtitle: "5-10 人成团 · 更低价" }
                ]
                current: content.selection.mode
                onChosen: key => content.selection.selectMode(key)
            }

            GroupMethodSelector {
                visible: content.groupMode
                width: parent.width
                theme: content.theme
                method: content.selection.groupMethod
                onMethodSelected: key => content.selection.groupMethod = key
            }

            PrivateOptionCard {
                visible: content.selection.mode === "private"
                width: parent.width
                theme: content.theme
                ipOptions: content.selection.ipOptions
                regionOptions: content.selection.privateRegionOptions
                ipType: content.selection.ipType
                region: content.selection.region
                onIpTypeChosen: value => content.selection.selectPrivateIpType(value)
                onRegionChosen: value => content.selection.selectPrivateRegion(value)
            }

            GroupOptionCard {
                visible: content.groupMode && !content.selection.leaderMethod
                width: parent.width
                theme: content.theme
                ipOptions: content.selection.ipOptions
                teamOptions: content.selection.teamOptions
                gameOptions: content.selection.gameOptions
                ipType: content.selection.ipType
                teamSize: content.selection.teamSize
                gameId: content.selection.gameId
                onIpTypeChosen: value => content.selection.selectGroupIpType(value)
                onTeamSizeChosen: value => content.selection.selectTeamSize(value)
                onGameChosen: value => content.selection.selectGame(value)
                onMyGroupsRequested: content.groups.openMyGroups()
                onLeaderCenterRequested: content.groups.openLeaderCenter()
            }

            LeaderJoinPanel {
                objectName: "leaderJoinPanel"
                visible: content.selection.leaderMethod
                width: parent.width
                lightMode: content.theme.lightMode
                team: content.groups.leaderTeam
                availableGames: content.groups.leaderTeam.games || []
                teamReady: content.groups.leaderTeamReady
                selectedGameId: content.groups.leaderGameId
                apiBusy: content.loading
                onQueryRequested: code => content.groups.queryLeaderTeam(code)
                onLeaderCenterRequested: content.groups.openLeaderCenter()
                onGameSelected: gameId => content.groups.leaderGameId = gameId
                onCopyRequested: (kind, value) => content.copyRequested(kind, value)
                onLeaveRequested: content.toastRequested("退出当前团功能暂未开放", true)
            }

            Row {
                visible: !content.selection.leaderMethod
                spacing: 12

                Text {
                    id: heading

                    textFormat: Text.PlainText
                    text: "尊享套餐"
                    color: content.theme.ink
                    font.family: Fonts.ui()
                    font.pixelSize: 17
                    font.bold: true
                }

                Text {
                    visible: content.loading
                    anchors.baseline: heading.baseline
                    textFormat: Text.PlainText
                    text: "正在加载商品…"
                    color: content.theme.ink3
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }

            // The view keeps its first card in place when the options above it change height; the
            // summary must stay in view instead, unless the user has scrolled down.
            onHeightChanged: Qt.callLater(grid.settleTop)
        }

        // Below the header, so its coming and going moves nothing above it. The holder takes the
        // text's height, so the text keeps its own: a text whose height is bound to its wrapped
        // implicit height loops while the view lays it out.
        footer: Item {
            width: grid.width
            height: emptyPlans.visible ? emptyPlans.implicitHeight : 0

            Text {
                id: emptyPlans

                objectName: "emptyPlans"
                visible: content.selection.currentProducts.length === 0 && !content.loading
                         && !content.selection.leaderMethod
                width: parent.width
                topPadding: 30
                bottomPadding: 30
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                text: content.emptyText
                color: Theme.text(content.selection.errorMessage !== "" ? content.theme.accent : content.theme.ink3)
                font.family: Fonts.ui()
                font.pixelSize: 14
            }
        }

        delegate: PlanCard {
            required property var modelData
            required property int index

            objectName: "planCard" + index
            width: grid.cellWidth - 14
            height: grid.cellHeight - 14
            theme: content.theme
            mode: content.selection.mode
            product: modelData
            ipType: content.selection.ipType
            selected: index === content.selection.planIndex
            onChosen: content.selection.selectPlan(index)
        }
        // qmllint enable unqualified
    }

    BottomBar {
        id: bottomBar

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        theme: content.theme
        caption: content.selection.caption
        totalText: content.selection.totalText
        agreed: content.selection.agreed
        loggedIn: content.loggedIn
        creating: content.creating
        onAgreementToggled: checked => content.selection.agreed = checked
        onPayRequested: content.selection.pay()
        onLoginRequested: content.loginRequested()
    }
}
