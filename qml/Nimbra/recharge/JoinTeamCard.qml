pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../shell"
import "../Fonts.js" as Fonts
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// The found team: its line, payment progress and times, the member slots and the copy buttons.
GlassCard {
    id: card

    required property ThemedScope theme
    property var team: ({})

    readonly property string code: RechargeLogic.textOf(team.team_code)
    readonly property string inviteLink: RechargeLogic.textOf(team.invite_link)

    signal copyRequested(string kind, string value)
    signal leaveRequested()

    lightMode: theme.lightMode
    darkSurface: theme.cardFill
    lightSurface: theme.cardFill
    implicitHeight: content.implicitHeight + 40

    Column {
        id: content

        x: 20
        y: 20
        width: parent.width - 40
        spacing: 14

        Item {
            width: parent.width
            height: 30

            Row {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - leaveButton.width - 12
                spacing: 10

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, parent.width - badge.width - 10)
                    textFormat: Text.PlainText
                    text: GroupLogic.teamHeading(card.team)
                    color: card.theme.ink
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: 16
                    font.bold: true
                }

                StatusBadge {
                    id: badge

                    anchors.verticalCenter: parent.verticalCenter
                    text: GroupLogic.joinStatusText(card.team)
                    tint: card.theme.neon
                }
            }

            DialogButton {
                id: leaveButton

                anchors.right: parent.right
                theme: ThemeColors { lightMode: card.theme.lightMode }
                tint: card.theme.accent
                text: "退出当前团"
                onActivated: card.leaveRequested()
            }
        }

        Row {
            width: parent.width
            spacing: 12

            Repeater {
                model: [
                    ["专线节点", GroupLogic.lineText(card.team)],
                    ["已支付成员", GroupLogic.paidCount(card.team) + " / " + GroupLogic.teamSize(card.team) + " 人"],
                    ["开团时间", GroupLogic.displayTime(card.team.created_at)],
                    ["结束时间", GroupLogic.displayTime(card.team.expire_at)]
                ]

                delegate: InfoField {
                    required property var modelData

                    width: (content.width - 36) / 4
                    theme: card.theme
                    caption: modelData[0]
                    value: modelData[1]
                }
            }
        }

        Flow {
            width: parent.width
            spacing: 10

            Repeater {
                model: GroupLogic.memberSlots(card.team)

                delegate: Rectangle {
                    id: slot

                    required property var modelData

                    width: (content.width - 40) / 5
                    height: 56
                    radius: 12
                    color: modelData.filled ? Qt.alpha(card.theme.primary, 0.08) : "transparent"
                    border.width: 1
                    border.color: modelData.filled ? Qt.alpha(card.theme.primary, 0.35) : card.theme.ink4

                    Rectangle {
                        id: avatar

                        visible: slot.modelData.filled
                        x: 10
                        anchors.verticalCenter: parent.verticalCenter
                        width: 32
                        height: 32
                        radius: 16
                        color: Qt.alpha(card.theme.primary, 0.22)

                        Text {
                            anchors.centerIn: parent
                            textFormat: Text.PlainText
                            text: slot.modelData.initial
                            color: Theme.text(card.theme.primary)
                            font.family: Fonts.ui()
                            font.pixelSize: 14
                            font.bold: true
                        }
                    }

                    Column {
                        anchors.left: slot.modelData.filled ? avatar.right : parent.left
                        anchors.leftMargin: 10
                        anchors.right: parent.right
                        anchors.rightMargin: 8
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2

                        Text {
                            width: parent.width
                            textFormat: Text.PlainText
                            text: slot.modelData.name
                            color: slot.modelData.filled ? card.theme.ink : card.theme.ink3
                            elide: Text.ElideRight
                            font.family: Fonts.ui()
                            font.pixelSize: 13
                            font.bold: slot.modelData.filled
                        }

                        Text {
                            visible: slot.modelData.filled
                            textFormat: Text.PlainText
                            text: slot.modelData.detail
                            color: Theme.text(slot.modelData.detail === "已选游戏" ? card.theme.neon : card.theme.ink3)
                            font.family: Fonts.ui()
                            font.pixelSize: Theme.textSize(11)
                        }
                    }
                }
            }
        }

        Row {
            spacing: 10

            DialogButton {
                objectName: "copyCodeButton"
                theme: ThemeColors { lightMode: card.theme.lightMode }
                text: "复制团码 " + card.code
                onActivated: card.copyRequested("code", card.code)
            }

            DialogButton {
                objectName: "copyLinkButton"
                enabled: card.inviteLink !== ""
                opacity: enabled ? 1 : 0.45
                theme: ThemeColors { lightMode: card.theme.lightMode }
                text: "复制分享链接"
                onActivated: card.copyRequested("link", card.inviteLink)
            }
        }
    }
}
