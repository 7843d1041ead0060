import QtQuick
import "GroupLogic.js" as GroupLogic

// The team-leader method of the purchase page: look a team up by its code, see its members and
// seats, pick a game. The page owns the lookup and the order; this shows them and reports choices.
ThemedScope {
    id: panel

    property var team: ({})
    property var availableGames: []
    // The team shown is the one the code in the field names.
    property bool teamReady: false
    property string selectedGameId: ""
    property bool apiBusy: false

    signal queryRequested(string code)
    signal leaderCenterRequested()
    signal gameSelected(string gameId)
    signal copyRequested(string kind, string value)
    signal leaveRequested()

    implicitHeight: column.implicitHeight

    Column {
        id: column

        width: parent.width
        spacing: 14

        JoinQueryCard {
            width: parent.width
            theme: panel
            ready: panel.teamReady
            busy: panel.apiBusy
            onQueryRequested: code => panel.queryRequested(code)
            onLeaderCenterRequested: panel.leaderCenterRequested()
        }

        JoinTeamCard {
            visible: panel.teamReady
            width: parent.width
            theme: panel
            team: panel.team || {}
            onCopyRequested: (kind, value) => panel.copyRequested(kind, value)
            onLeaveRequested: panel.leaveRequested()
        }

        JoinGameCard {
            visible: panel.teamReady
            width: parent.width
            theme: panel
            games: panel.availableGames
            selectedGameId: panel.selectedGameId
            paidCount: GroupLogic.paidCount(panel.team)
            onGameSelected: gameId => panel.gameSelected(gameId)
        }
    }
}
