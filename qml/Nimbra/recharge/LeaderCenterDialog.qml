import QtQuick
import QtQuick.Controls.Basic
import Nimbra

// The team-leader centre: a leader opens teams and lists them; anyone looks a team up by its code
// and buys a seat. What it shows and asks for is the purchase client's LeaderCentre; the page's
// payment flow takes the seat order over (and closes the centre).
ModalFrame {
    id: dialog

    required property LeaderCentre centre
    // The purchase client is asking for something: the buttons wait.
    property bool busy: false

    signal toastRequested(string message, bool warning)
    // A team's code to copy ("" when the team has none yet).
    signal copyRequested(string code)

    title: "团长中心"
    subtitle: "开团不产生订单；购买席位后使用微信扫码支付"
    cardWidth: 720
    cardHeight: 620
    visible: centre.opened

    ChipGroup {
        id: tabs

        width: parent.width
        theme: dialog
        choices: dialog.centre.isLeader ? [{ value: "create", text: "团长开团" }, { value: "teams", text: "我的开团" },
                                    { value: "join", text: "加入团长团" }]
                                 : [{ value: "join", text: "加入团长团" }]
        selectedValue: dialog.centre.section
        onChosen: value => dialog.centre.section = value
    }

    Flickable {
        anchors.top: tabs.bottom
        anchors.topMargin: 18
        anchors.bottom: parent.bottom
        width: parent.width
        visible: dialog.centre.section !== "teams"
        clip: true
        contentHeight: dialog.centre.section === "create" ? createSection.implicitHeight : joinSection.implicitHeight
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        LeaderCreateSection {
            id: createSection

            visible: dialog.centre.section === "create"
            width: parent.width
            theme: dialog
            lines: dialog.centre.lines
            sizes: dialog.centre.sizes
            regions: dialog.centre.regions
            isLeader: dialog.centre.isLeader
            busy: dialog.busy
            selectedLine: dialog.centre.line
            selectedRegion: dialog.centre.region
            selectedSize: dialog.centre.size
            onLineChosen: value => dialog.centre.line = value
            onRegionChosen: value => dialog.centre.region = value
            onSizeChosen: size => dialog.centre.size = size
            onCreateRequested: dialog.centre.createTeam()
        }

        LeaderJoinSection {
            id: joinSection

            visible: dialog.centre.section === "join"
            width: parent.width - 12
            theme: dialog
            team: dialog.centre.team
            found: dialog.centre.found
            selectedGameId: dialog.centre.gameId
            busy: dialog.busy
            onQueryRequested: code => dialog.centre.queryTeam(code)
            onGameChosen: value => dialog.centre.gameId = value
            onJoinRequested: dialog.centre.joinTeam()
        }
    }

    LeaderTeamsSection {
        visible: dialog.centre.section === "teams"
        anchors.top: tabs.bottom
        anchors.topMargin: 18
        anchors.bottom: parent.bottom
        width: parent.width
        theme: dialog
        teams: dialog.centre.teams
        selectedTeamCode: dialog.centre.teamCode
        onCopyRequested: code => dialog.copyRequested(code)
        onTeamChosen: code => dialog.centre.teamCode = code
    }
}
