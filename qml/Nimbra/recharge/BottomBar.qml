import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../auth"
import "../shell"

// The bar under the plans: the agreement, the payment method, the total and the pay button.
GlassCard {
    id: bar

    required property ThemedScope theme
    // What is chosen and what it costs, as shown ("—" without a price).
    property string caption: ""
    property string totalText: "—"
    property bool agreed: false
    property bool loggedIn: false
    // An order is being created: the button waits.
    property bool creating: false
    readonly property string payLabel: creating ? "正在创建订单…" : (loggedIn ? "立即支付" : "立即登录")

    signal agreementToggled(bool checked)
    signal payRequested()
    signal loginRequested()

    height: 76
    lightMode: theme.lightMode

    AuthCheckBox {
        objectName: "agreement"
        x: 24
        anchors.verticalCenter: parent.verticalCenter
        theme: ThemeColors { lightMode: bar.theme.lightMode }
        text: "开通前请确认《服务协议》与《购买须知》"
        checked: bar.agreed
        onToggled: checked => bar.agreementToggled(checked)
    }

    Row {
        anchors.right: payButton.left
        anchors.rightMargin: 28
        anchors.verticalCenter: parent.verticalCenter
        spacing: 28

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4

            Text {
                textFormat: Text.PlainText
                text: "支付方式"
                color: bar.theme.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }

            Text {
                textFormat: Text.PlainText
                text: "微信支付"
                color: Theme.text(bar.theme.neon)
                font.family: Fonts.ui()
                font.pixelSize: 14
                font.bold: true
            }
        }

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                objectName: "totalText"
                anchors.right: parent.right
                textFormat: Text.PlainText
                text: bar.totalText
                Accessible.role: Accessible.StaticText
                Accessible.name: "合计 " + text
                color: bar.theme.ink
                font.family: Fonts.latin()
                font.pixelSize: 24
                font.bold: true
            }

            Text {
                objectName: "totalCaption"
                anchors.right: parent.right
                width: Math.min(implicitWidth, 260)
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: bar.caption
                color: bar.theme.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }
        }
    }

    Rectangle {
        id: payButton

        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        width: 168
        height: 48
        radius: 14
        opacity: bar.creating ? 0.72 : 1
        border.width: payArea.activeFocus ? 2 : 0
        border.color: bar.theme.ink
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Theme.payStart(bar.theme.lightMode) }
            GradientStop { position: 1; color: Theme.payEnd(bar.theme.lightMode) }
        }
        scale: payArea.pressed ? 0.97 : 1

        Text {
            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: bar.payLabel
            color: Theme.brightInk
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true
        }

        ClickArea {
            id: payArea

            objectName: "payButton"
            anchors.fill: parent
            label: bar.payLabel
            lightMode: bar.theme.lightMode
            onActivated: {
                if (bar.loggedIn)
                    bar.payRequested()
                else
                    bar.loginRequested()
            }
        }
    }
}
