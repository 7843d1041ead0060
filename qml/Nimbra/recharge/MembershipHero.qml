pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"

// The membership summary at the top of the page: what the account holds, the history and renewal
// buttons, and what every plan includes.
GlassCard {
    id: hero

    required property ThemedScope theme
    // The membership's headline and the line below it (RechargeApi's membership texts).
    property string title: ""
    property string description: ""
    property bool loggedIn: false

    signal ordersRequested()
    signal renewRequested()

    height: 132
    lightMode: theme.lightMode
    gradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop { position: 0; color: Qt.alpha(hero.theme.primary, hero.theme.lightMode ? 0.16 : 0.2) }
        GradientStop { position: 0.7; color: hero.theme.cardFill }
        GradientStop { position: 1; color: Qt.alpha(Theme.gold, hero.theme.lightMode ? 0.22 : 0.12) }
    }

    Column {
        x: 26
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width - buttons.width - 80
        spacing: 9

        Row {
            spacing: 10

            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 42
                height: 22
                radius: 7
                color: Theme.vipBadge

                Text {
                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: "VIP"
                    color: Theme.vipText
                    font.family: Fonts.latin()
                    font.pixelSize: Theme.textSize(12)
                    font.bold: true
                }
            }

            Text {
                objectName: "membershipTitle"
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: hero.title
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                color: hero.theme.ink
                font.family: Fonts.ui()
                font.pixelSize: 21
                font.bold: true
            }
        }

        Text {
            objectName: "membershipDescription"
            width: parent.width
            elide: Text.ElideRight
            textFormat: Text.PlainText
            text: hero.description
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            color: hero.theme.ink2
            font.family: Fonts.ui()
            font.pixelSize: 13
        }

        Row {
            topPadding: 4
            spacing: 8

            Repeater {
                model: ["双链路加速", "专线优先", "防丢包", "多端同登"]

                delegate: Rectangle {
                    id: chip

                    required property string modelData

                    width: chipText.implicitWidth + 26
                    height: 24
                    radius: 12
                    color: Qt.alpha(hero.theme.ink, 0.06)
                    border.color: hero.theme.ink4

                    Row {
                        anchors.centerIn: parent
                        spacing: 4

                        Icon {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 11
                            height: 11
                            name: "check"
                            color: hero.theme.neon
                            strokeWidth: 2.4
                        }

                        Text {
                            id: chipText

                            anchors.verticalCenter: parent.verticalCenter
                            textFormat: Text.PlainText
                            text: chip.modelData
                            color: hero.theme.ink2
                            font.family: Fonts.ui()
                            font.pixelSize: Theme.textSize(11)
                        }
                    }
                }
            }
        }
    }

    Row {
        id: buttons

        anchors.right: parent.right
        anchors.rightMargin: 26
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10

        DialogButton {
            objectName: "historyButton"
            implicitHeight: 36
            theme: ThemeColors { lightMode: hero.theme.lightMode }
            text: "订单记录"
            tint: hero.theme.ink
            onActivated: hero.ordersRequested()
        }

        DialogButton {
            objectName: "renewButton"
            implicitHeight: 36
            theme: ThemeColors { lightMode: hero.theme.lightMode }
            text: hero.loggedIn ? "立即续费" : "立即登录"
            onActivated: hero.renewRequested()
        }
    }
}
