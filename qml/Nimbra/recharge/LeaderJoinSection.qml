import QtQuick
import Nimbra
import "../shell"
import "../Fonts.js" as Fonts
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// Joining a leader's team from the centre: look it up, pick one of its free games, buy the seat.
Column {
    id: section

    required property ThemedScope theme
    property var team: ({})
    property bool found: false
    property string selectedGameId: ""
    property bool busy: false

    readonly property var slotsLeft: team ? team.remaining_slots : undefined

    signal queryRequested(string code)
    signal gameChosen(string value)
    signal joinRequested()

    spacing: 14

    Text {
        textFormat: Text.PlainText
        text: "输入团码加入团长团"
        color: section.theme.ink
        font.family: Fonts.ui()
        font.pixelSize: 16
        font.bold: true
    }

    Row {
        width: parent.width
        spacing: 10

        CodeField {
            id: code

            width: Math.min(320, parent.width - queryButton.width - 10)
            theme: section.theme
            onAccepted: section.queryRequested(text)
        }

        DialogButton {
            id: queryButton

            objectName: "queryTeamButton"
            height: code.height
            theme: ThemeColors { lightMode: section.theme.lightMode }
            text: "查询团队"
            onActivated: section.queryRequested(code.text)
        }
    }

    Text {
        visible: section.found
        width: parent.width
        textFormat: Text.PlainText
        text: (RechargeLogic.textOf(RechargeLogic.member(section.team, "name")) || "团长团") + " · 团码 "
              + RechargeLogic.textOf(section.team.team_code) + " · 剩余 "
              + (section.slotsLeft === undefined || section.slotsLeft === null ? "—" : section.slotsLeft) + " 席"
        color: section.theme.ink
        wrapMode: Text.Wrap
        font.family: Fonts.ui()
        font.pixelSize: 14
        font.bold: true
    }

    ChipGroup {
        visible: section.found
        width: parent.width
        theme: section.theme
        caption: "选择可用游戏"
        choices: GroupLogic.gameChoices(RechargeLogic.member(section.team, "games"))
        selectedValue: section.selectedGameId
        onChosen: value => section.gameChosen(value)
    }

    DialogButton {
        visible: section.found
        objectName: "buySeatButton"
        enabled: section.selectedGameId !== "" && !section.busy
        opacity: enabled ? 1 : 0.45
        theme: ThemeColors { lightMode: section.theme.lightMode }
        text: "购买团长团席位"
        onActivated: section.joinRequested()
    }
}
