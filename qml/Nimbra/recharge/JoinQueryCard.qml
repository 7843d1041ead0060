import QtQuick
import Nimbra
import "../shell"
import "../Fonts.js" as Fonts

// The join panel's code lookup; once a team is found it offers to switch to another one.
GlassCard {
    id: card

    required property ThemedScope theme
    property bool ready: false
    property bool busy: false

    signal queryRequested(string code)
    signal leaderCenterRequested()

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

        Item {
            width: parent.width
            height: 30

            Text {
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: "输入团码加入拼团"
                color: card.theme.ink
                font.family: Fonts.ui()
                font.pixelSize: 16
                font.bold: true
            }

            DialogButton {
                anchors.right: parent.right
                theme: ThemeColors { lightMode: card.theme.lightMode }
                text: "团长中心"
                onActivated: card.leaderCenterRequested()
            }
        }

        Text {
            visible: card.ready
            textFormat: Text.PlainText
            text: "已加入下方拼团 · 输入新的团码可换团"
            color: Theme.text(card.theme.neon)
            font.family: Fonts.ui()
            font.pixelSize: 13
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: card.ready ? "想加入其他团？向新团长获取团码，查询后自动切换" : "向团长获取团码，查询拼团详情后选择游戏加入"
            color: card.theme.ink3
            wrapMode: Text.Wrap
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Row {
            width: parent.width
            spacing: 10

            CodeField {
                id: code

                width: parent.width - queryButton.width - 10
                theme: card.theme
                onAccepted: {
                    if (!card.busy)
                        card.queryRequested(text)
                }
            }

            DialogButton {
                id: queryButton

                objectName: "queryButton"
                height: code.height
                enabled: !card.busy
                opacity: enabled ? 1 : 0.45
                theme: ThemeColors { lightMode: card.theme.lightMode }
                text: card.ready ? "换团查询" : "查询拼团"
                onActivated: card.queryRequested(code.text)
            }
        }
    }
}
