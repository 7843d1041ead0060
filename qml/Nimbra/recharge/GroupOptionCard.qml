pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// The normal group-buy options: IP type, team size and game, the buttons to the group features, and a
// strip of the team's seats, one game per seat.
GlassCard {
    id: card

    required property ThemedScope theme
    property var ipOptions: []
    property var teamOptions: []
    property var gameOptions: []
    property string ipType: ""
    property int teamSize: 0
    property string gameId: ""

    signal ipTypeChosen(string value)
    signal teamSizeChosen(string value)
    signal gameChosen(string value)
    signal myGroupsRequested()
    signal leaderCenterRequested()

    height: column.implicitHeight + 40
    lightMode: theme.lightMode

    Column {
        id: column

        x: 22
        y: 20
        width: parent.width - 44
        spacing: 18

        OptionChips {
            objectName: "groupIpChips"
            width: parent.width
            theme: card.theme
            caption: "独享 IP 类型"
            hint: "团内独享静态 IP · 一人一址"
            options: card.ipOptions
            current: card.ipType
            onChosen: value => card.ipTypeChosen(value)
        }

        OptionChips {
            objectName: "teamSizeChips"
            width: parent.width
            theme: card.theme
            caption: "团人数"
            hint: "选择适合你的拼团人数"
            options: card.teamOptions
            current: String(card.teamSize)
            suffix: "人"
            onChosen: value => card.teamSizeChosen(value)
        }

        Item {
            width: parent.width
            height: Math.max(gameColumn.implicitHeight, groupButtons.height)

            Column {
                id: gameColumn

                width: parent.width - groupButtons.width - 20
                spacing: 8

                Row {
                    spacing: 10

                    Text {
                        id: gameCaption

                        textFormat: Text.PlainText
                        text: "加速游戏"
                        color: card.theme.ink
                        font.family: Fonts.ui()
                        font.pixelSize: 14
                        font.bold: true
                    }

                    Text {
                        anchors.baseline: gameCaption.baseline
                        textFormat: Text.PlainText
                        text: "每个游戏独占一个专属坑位"
                        color: card.theme.ink3
                        font.family: Fonts.ui()
                        font.pixelSize: Theme.textSize(12)
                    }
                }

                GameBox {
                    width: parent.width
                    theme: card.theme
                    options: card.gameOptions
                    current: card.gameId
                    onChosen: value => card.gameChosen(value)
                }
            }

            Row {
                id: groupButtons

                anchors.right: parent.right
                y: 26
                spacing: 10

                DialogButton {
                    implicitHeight: 36
                    theme: ThemeColors { lightMode: card.theme.lightMode }
                    text: "我的拼团"
                    onActivated: card.myGroupsRequested()
                }

                DialogButton {
                    implicitHeight: 36
                    theme: ThemeColors { lightMode: card.theme.lightMode }
                    text: "团长中心"
                    tint: card.theme.accent
                    onActivated: card.leaderCenterRequested()
                }
            }
        }

        Row {
            objectName: "seatStrip"
            spacing: 14

            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2

                Text {
                    textFormat: Text.PlainText
                    text: "一游一坑"
                    color: card.theme.ink
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                    font.bold: true
                }

                Text {
                    textFormat: Text.PlainText
                    text: "独享拼团"
                    color: card.theme.ink3
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(11)
                }
            }

            Repeater {
                model: card.teamSize > 0 ? card.teamSize : 10

                delegate: Rectangle {
                    id: seat

                    required property int index
                    readonly property bool mine: index === 0 && card.gameId !== ""

                    anchors.verticalCenter: parent.verticalCenter
                    width: 32
                    height: 32
                    radius: 16
                    color: mine ? card.theme.primary : Qt.alpha(card.theme.ink, 0.05)
                    border.color: mine ? card.theme.primary : card.theme.ink4

                    Text {
                        anchors.centerIn: parent
                        textFormat: Text.PlainText
                        text: seat.index + 1
                        color: seat.mine ? "#ffffff" : card.theme.ink3
                        font.family: Fonts.latin()
                        font.pixelSize: Theme.textSize(12)
                        font.bold: true
                    }
                }
            }
        }
    }
}
