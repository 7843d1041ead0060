pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// The normal group-buy options: IP type, team size and game, the buttons to the group features, and a
// strip of the team's seats, one game per seat.
GlassCard {
    id: card

    required property var page

    height: column.implicitHeight + 40
    lightMode: page.lightMode

    Column {
        id: column

        x: 22
        y: 20
        width: parent.width - 44
        spacing: 18

        OptionChips {
            objectName: "groupIpChips"
            width: parent.width
            theme: card.page
            caption: "独享 IP 类型"
            hint: "团内独享静态 IP · 一人一址"
            options: card.page.ipOptions
            current: card.page.selectedIpType
            onChosen: value => card.page.selectGroupIpType(value)
        }

        OptionChips {
            objectName: "teamSizeChips"
            width: parent.width
            theme: card.page
            caption: "团人数"
            hint: "选择适合你的拼团人数"
            options: card.page.teamOptions
            current: String(card.page.selectedTeamSize)
            suffix: "人"
            onChosen: value => card.page.selectTeamSize(value)
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
                        color: card.page.ink
                        font.family: Fonts.ui()
                        font.pixelSize: 14
                        font.bold: true
                    }

                    Text {
                        anchors.baseline: gameCaption.baseline
                        textFormat: Text.PlainText
                        text: "每个游戏独占一个专属坑位"
                        color: card.page.ink3
                        font.family: Fonts.ui()
                        font.pixelSize: Theme.textSize(12)
                    }
                }

                GameBox {
                    width: parent.width
                    theme: card.page
                    options: card.page.gameSelectorOptions
                    current: card.page.selectedGameId
                    onChosen: value => card.page.selectGame(value)
                }
            }

            Row {
                id: groupButtons

                anchors.right: parent.right
                y: 26
                spacing: 10

                DialogButton {
                    implicitHeight: 36
                    theme: card.page
                    text: "我的拼团"
                    onActivated: card.page.openMyGroups()
                }

                DialogButton {
                    implicitHeight: 36
                    theme: card.page
                    text: "团长中心"
                    tint: card.page.accent
                    onActivated: card.page.openLeaderCenter()
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
                    color: card.page.ink
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                    font.bold: true
                }

                Text {
                    textFormat: Text.PlainText
                    text: "独享拼团"
                    color: card.page.ink3
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(11)
                }
            }

            Repeater {
                model: card.page.selectedTeamSize > 0 ? card.page.selectedTeamSize : 10

                delegate: Rectangle {
                    id: seat

                    required property int index
                    readonly property bool mine: index === 0 && card.page.selectedGameId !== ""

                    anchors.verticalCenter: parent.verticalCenter
                    width: 32
                    height: 32
                    radius: 16
                    color: mine ? card.page.primary : Qt.alpha(card.page.ink, 0.05)
                    border.color: mine ? card.page.primary : card.page.ink4

                    Text {
                        anchors.centerIn: parent
                        textFormat: Text.PlainText
                        text: seat.index + 1
                        color: seat.mine ? "#ffffff" : card.page.ink3
                        font.family: Fonts.latin()
                        font.pixelSize: Theme.textSize(12)
                        font.bold: true
                    }
                }
            }
        }
    }
}
