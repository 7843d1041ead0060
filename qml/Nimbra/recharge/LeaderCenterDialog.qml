import QtQuick
import QtQuick.Controls.Basic
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// The team-leader centre: a leader opens teams and lists them; anyone looks a team up by its code
// and buys a seat. It talks to the purchase client itself and reads the leader records of the state
// store; the page's payment flow takes the seat order over (and closes the centre).
ModalFrame {
    id: dialog

    property bool opened: false
    property var api: null
    property var dataStore: null
    property int guid: 0
    property var games: []

    property string section: "create"
    property string selectedLine: ""
    property string selectedRegion: ""
    property int selectedSize: 0
    property string selectedGameId: ""
    property string selectedTeamCode: ""

    readonly property var entry: dataStore && dataStore.leaderEntry ? dataStore.leaderEntry : ({})
    readonly property var teams: dataStore ? RechargeLogic.asList(dataStore.leaderTeams) : []
    readonly property var team: dataStore && dataStore.leaderTeamDetail ? dataStore.leaderTeamDetail : ({})
    readonly property bool isLeader: entry.is_leader === true
    readonly property bool busy: api ? api.busy === true : false

    signal toastRequested(string message, bool warning)

    function initializeEntry() {
        const s = GroupLogic.entrySelection(entry, { section: section, line: selectedLine, region: selectedRegion,
                                                     size: selectedSize })
        section = s.section
        selectedLine = s.line
        selectedRegion = s.region
        selectedSize = s.size
    }

    function selectLine(value) {
        selectedLine = value
        const regions = GroupLogic.lineRegions(entry, value)
        selectedRegion = regions.length > 0 ? RechargeLogic.textOf(regions[0].value) : ""
    }

    // The list only changes on the service (members join, teams form): ask again whenever it is shown.
    function reloadTeams() {
        if (isLeader && guid > 0)
            api.loadLeaderTeams(guid, 1, 20)
    }

    function selectSection(value) {
        section = value
        if (value === "teams")
            reloadTeams()
    }

    function createTeam() {
        if (!isLeader) {
            toastRequested("当前账号暂未开通团长资格", true)
            return
        }
        if (!api.createLeaderTeamFor(entry, selectedLine, selectedRegion, selectedSize))
            toastRequested("请选择有效的线路、人数和地区组合", true)
    }

    function copyTeamCode(code) {
        if (RechargeLogic.textOf(code) === "") {
            toastRequested("当前团还没有团码", true)
            return
        }
        if (dataStore.copyToClipboard(code))
            toastRequested("团码已复制", false)
        else
            toastRequested("团码复制失败", true)
    }

    function queryTeam(code) {
        const typed = RechargeLogic.textOf(code)
        if (typed === "") {
            toastRequested("请输入团码", true)
            return
        }
        selectedTeamCode = typed
        selectedGameId = ""
        api.loadLeaderTeamDetail(guid, typed, GroupLogic.ownTeamId(teams, typed))
    }

    function joinTeam() {
        if (!GroupLogic.teamReady(team, selectedTeamCode)) {
            toastRequested("请先查询团长团", true)
            return
        }
        if (selectedGameId === "") {
            toastRequested("请选择可用游戏", true)
            return
        }
        api.payment.createSeatOrder(team, RechargeLogic.textOf(team.team_code), selectedGameId,
                                    RechargeLogic.textOf(team.name) || "团长团席位", GroupLogic.teamPrice(team))
    }

    title: "团长中心"
    subtitle: "开团不产生订单；购买席位后使用微信扫码支付"
    cardWidth: 720
    cardHeight: 620
    visible: opened
    Component.onCompleted: initializeEntry()
    onEntryChanged: initializeEntry()
    // A team looked up by another account is not this one's.
    onGuidChanged: {
        selectedTeamCode = ""
        selectedGameId = ""
    }
    // Each opening starts on the first tab the account has; the entry may have arrived only after the
    // dialog was made, when it still looked like a non-leader's.
    onOpenedChanged: {
        if (!opened)
            return
        section = "create"
        entryTimer.restart()
        reloadTeams()
    }

    // The next turn after opening, once the host has passed its records in.
    Timer {
        id: entryTimer

        interval: 0
        onTriggered: dialog.initializeEntry()
    }

    // Only while open: the page's own lookups load the same record and toast for themselves.
    Connections {
        target: dialog.api
        enabled: dialog.opened
        ignoreUnknownSignals: true

        function onLeaderTeamCreated(team) {
            dialog.selectedTeamCode = RechargeLogic.textOf(team ? team.team_code : "")
            dialog.section = "teams"
            dialog.toastRequested("团长团创建成功", false)
        }

        function onLeaderTeamDetailLoaded(team) {
            const code = RechargeLogic.textOf(team ? team.team_code : "")
            if (code !== "")
                dialog.selectedTeamCode = code
            dialog.toastRequested("团长团信息已更新", false)
        }
    }

    ChipGroup {
        id: tabs

        width: parent.width
        theme: dialog
        choices: dialog.isLeader ? [{ value: "create", text: "团长开团" }, { value: "teams", text: "我的开团" },
                                    { value: "join", text: "加入团长团" }]
                                 : [{ value: "join", text: "加入团长团" }]
        selectedValue: dialog.section
        onChosen: value => dialog.selectSection(value)
    }

    Flickable {
        anchors.top: tabs.bottom
        anchors.topMargin: 18
        anchors.bottom: parent.bottom
        width: parent.width
        visible: dialog.section !== "teams"
        clip: true
        contentHeight: dialog.section === "create" ? createSection.implicitHeight : joinSection.implicitHeight
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        LeaderCreateSection {
            id: createSection

            visible: dialog.section === "create"
            width: parent.width
            theme: dialog
            entry: dialog.entry
            isLeader: dialog.isLeader
            busy: dialog.busy
            selectedLine: dialog.selectedLine
            selectedRegion: dialog.selectedRegion
            selectedSize: dialog.selectedSize
            onLineChosen: value => dialog.selectLine(value)
            onRegionChosen: value => dialog.selectedRegion = value
            onSizeChosen: size => dialog.selectedSize = size
            onCreateRequested: dialog.createTeam()
        }

        LeaderJoinSection {
            id: joinSection

            visible: dialog.section === "join"
            width: parent.width - 12
            theme: dialog
            team: dialog.team
            found: GroupLogic.teamReady(dialog.team, dialog.selectedTeamCode)
            selectedGameId: dialog.selectedGameId
            busy: dialog.busy
            onQueryRequested: code => dialog.queryTeam(code)
            onGameChosen: value => dialog.selectedGameId = value
            onJoinRequested: dialog.joinTeam()
        }
    }

    LeaderTeamsSection {
        visible: dialog.section === "teams"
        anchors.top: tabs.bottom
        anchors.topMargin: 18
        anchors.bottom: parent.bottom
        width: parent.width
        theme: dialog
        teams: dialog.teams
        selectedTeamCode: dialog.selectedTeamCode
        onCopyRequested: code => dialog.copyTeamCode(code)
        onTeamChosen: code => dialog.selectedTeamCode = code
    }
}
