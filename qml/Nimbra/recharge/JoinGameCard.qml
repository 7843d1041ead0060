import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GroupLogic.js" as GroupLogic

// The game the seat is bought for, and the team's seat strip with the user's own seat.
GlassCard {
    id: card

    required property ThemedScope theme
    property var games: []
    property string selectedGameId: ""
    property int paidCount: 0

    readonly property bool gameChosen: selectedGameId !== ""

    signal gameSelected(string gameId)

    lightMode: theme.lightMode
    darkSurface: theme.cardFill
    lightSurface: theme.cardFill
    implicitHeight: content.implicitHeight + 40

    Column {
        id: content

        x: 20
        y: 20
        width: parent.width - 40
        spacing: 10

        Text {
            textFormat: Text.PlainText
            text: "加速游戏"
            color: card.theme.ink
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true
        }

        TeamGameBox {
            objectName: "leaderGameBox"
            width: Math.min(parent.width, 420)
            theme: card.theme
            choices: GroupLogic.gameChoices(card.games)
            selectedValue: card.selectedGameId
            onChosen: value => card.gameSelected(value)
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: "从剩余坑位中选择游戏，已被团员选定的游戏不可重复选"
            color: card.theme.ink3
            wrapMode: Text.Wrap
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Item {
            width: 1
            height: 4
        }

        SeatStrip {
            width: parent.width
            theme: card.theme
            states: GroupLogic.seatStates(card.paidCount, card.gameChosen)
            caption: card.gameChosen ? "你的坑位 · 01 · 已选择游戏 · 支付后锁定位" : "选择加速游戏后点亮你的坑位"
        }
    }
}
