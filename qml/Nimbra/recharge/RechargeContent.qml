import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "RechargeLogic.js" as RechargeLogic

// What the membership page shows under its overlays: one scrolling grid of plan cards whose header
// holds the summary, the mode tabs and the options of the chosen mode, and the bottom bar. Cards are
// made only as they scroll into view, so a mode with many plans still opens at once. (Not a bound
// component document: Qt 6.4 views refuse to make a bound header.)
Item {
    id: content

    required property var page

    readonly property bool groupMode: page.purchaseMode === "group"
    readonly property string emptyText: {
        if (page.errorMessage !== "")
            return page.errorMessage
        if (groupMode && page.selectedTeamSize > 0 && page.preparedProducts.length > 0)
            return page.selectedTeamSize + "人暂无对应套餐"
        return "暂无可用套餐"
    }

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
        model: content.page.currentProducts
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
            const index = content.page.selectedPlanIndex
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
            target: content.page

            function onSelectedPlanIndexChanged() {
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
                theme: content.page
                title: content.page.api ? content.page.api.membershipTitle(content.page.membership) : ""
                description: content.page.api
                             ? content.page.api.membershipDescription(content.page.membership, content.page.loggedIn) : ""
                loggedIn: content.page.loggedIn
                onOrdersRequested: content.page.openOrders()
                onRenewRequested: content.page.renewOrSignIn()
            }

            ChoiceRow {
                objectName: "modeTabs"
                width: parent.width
                theme: content.page
                choices: [
                    { key: "shared", title: "共享", subtitle: "高性价比 · 共享节点" },
                    { key: "private", title: "独享", subtitle: "一人一址 · 安全独享" },
                    { key: "group", title: "拼团", subtitle: "5-10 人成团 · 更低价" }
                ]
                current: content.page.purchaseMode
                onChosen: key => content.page.selectMode(key)
            }

            GroupMethodSelector {
                visible: content.groupMode
                width: parent.width
                theme: content.page
                method: content.page.groupMethod
                onMethodSelected: key => content.page.groupMethod = key
            }

            PrivateOptionCard {
                visible: content.page.purchaseMode === "private"
                width: parent.width
                theme: content.page
                ipOptions: content.page.ipOptions
                regionOptions: content.page.availablePrivateRegionOptions
                ipType: content.page.selectedIpType
                region: content.page.selectedRegion
                onIpTypeChosen: value => content.page.selectPrivateIpType(value)
                onRegionChosen: value => content.page.selectPrivateRegion(value)
            }

            GroupOptionCard {
                visible: content.groupMode && !content.page.leaderMethod
                width: parent.width
                theme: content.page
                ipOptions: content.page.ipOptions
                teamOptions: content.page.teamOptions
                gameOptions: content.page.gameSelectorOptions
                ipType: content.page.selectedIpType
                teamSize: content.page.selectedTeamSize
                gameId: content.page.selectedGameId
                onIpTypeChosen: value => content.page.selectGroupIpType(value)
                onTeamSizeChosen: value => content.page.selectTeamSize(value)
                onGameChosen: value => content.page.selectGame(value)
                onMyGroupsRequested: content.page.openMyGroups()
                onLeaderCenterRequested: content.page.openLeaderCenter()
            }

            LeaderJoinPanel {
                objectName: "leaderJoinPanel"
                visible: content.page.leaderMethod
                width: parent.width
                lightMode: content.page.lightMode
                team: content.page.leaderTeam
                availableGames: RechargeLogic.asList(RechargeLogic.member(content.page.leaderTeam, "games"))
                teamCode: content.page.leaderTeamCode
                selectedGameId: content.page.leaderGameId
                apiBusy: content.page.loading
                onQueryRequested: code => content.page.groupFlow.queryLeaderTeam(code)
                onLeaderCenterRequested: content.page.openLeaderCenter()
                onGameSelected: gameId => content.page.leaderGameId = gameId
                onCopyRequested: (kind, value) => content.page.groupFlow.copyFromPanel(kind, value)
                onLeaveRequested: content.page.toast("退出当前团功能暂未开放", true)
            }

            Row {
                spacing: 12

                Text {
                    id: heading

                    textFormat: Text.PlainText
                    text: "尊享套餐"
                    color: content.page.ink
                    font.family: Fonts.ui()
                    font.pixelSize: 17
                    font.bold: true
                }

                Text {
                    visible: content.page.loading
                    anchors.baseline: heading.baseline
                    textFormat: Text.PlainText
                    text: "正在加载商品…"
                    color: content.page.ink3
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }

            // The view keeps its first card in place when the options above it change height; the
            // summary must stay in view instead, unless the user has scrolled down.
            onHeightChanged: Qt.callLater(grid.settleTop)
        }

        // Below the header, so its coming and going moves nothing above it.
        footer: Text {
            objectName: "emptyPlans"
            visible: content.page.currentProducts.length === 0 && !content.page.loading
            width: grid.width
            height: visible ? implicitHeight : 0
            topPadding: 30
            bottomPadding: 30
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: content.emptyText
            color: Theme.text(content.page.errorMessage !== "" ? content.page.accent : content.page.ink3)
            font.family: Fonts.ui()
            font.pixelSize: 14
        }

        delegate: PlanCard {
            required property var modelData
            required property int index

            objectName: "planCard" + index
            width: grid.cellWidth - 14
            height: grid.cellHeight - 14
            theme: content.page
            mode: content.page.purchaseMode
            product: modelData
            ipType: content.page.selectedIpType
            selected: index === content.page.selectedPlanIndex
            onChosen: content.page.selectPlan(index)
        }
        // qmllint enable unqualified
    }

    BottomBar {
        id: bottomBar

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        theme: content.page
        caption: content.page.selectionCaption
        totalText: content.page.totalText
        agreed: content.page.agreed
        loggedIn: content.page.loggedIn
        creating: content.page.orderCreating
        onAgreementToggled: checked => content.page.agreed = checked
        onPayRequested: content.page.startPayment()
        onLoginRequested: content.page.loginRequested()
    }
}
