import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../auth"
import "../shell"
import "RechargeLogic.js" as RechargeLogic

// The bar under the plans: the agreement, the payment method, the total and the pay button.
GlassCard {
    id: bar

    required property var page

    readonly property bool hasProduct: page.currentProduct !== null
    readonly property string totalText: {
        if (page.leaderMethod)
            return page.leaderTeamPrice() > 0 ? "¥" + page.selectedPriceText() : "—"
        return hasProduct ? "¥" + page.selectedPriceText() : "—"
    }
    readonly property string caption: {
        if (page.leaderMethod)
            return page.leaderTeamPrice() > 0 ? "已选团长团席位" : "请先查询拼团"
        if (!hasProduct)
            return "请选择套餐"
        const flag = RechargeLogic.productFlag(page.currentProduct)
        return flag !== "" ? flag : "已选 " + RechargeLogic.productName(page.currentProduct, page.purchaseMode)
    }
    readonly property string payLabel: page.orderCreating ? "正在创建订单…" : (page.loggedIn ? "立即支付" : "立即登录")

    height: 76
    lightMode: page.lightMode

    AuthCheckBox {
        objectName: "agreement"
        x: 24
        anchors.verticalCenter: parent.verticalCenter
        theme: bar.page
        text: "开通前请确认《服务协议》与《购买须知》"
        checked: bar.page.agreed
        onToggled: checked => bar.page.agreed = checked
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
                color: bar.page.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }

            Text {
                textFormat: Text.PlainText
                text: "微信支付"
                color: Theme.text(bar.page.neon)
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
                color: bar.page.ink
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
                color: bar.page.ink3
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
        opacity: bar.page.orderCreating ? 0.72 : 1
        border.width: payArea.activeFocus ? 2 : 0
        border.color: bar.page.ink
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Theme.payStart(bar.page.lightMode) }
            GradientStop { position: 1; color: Theme.payEnd(bar.page.lightMode) }
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
            lightMode: bar.page.lightMode === true
            onActivated: {
                if (bar.page.loggedIn)
                    bar.page.startPayment()
                else
                    bar.page.loginRequested()
            }
        }
    }
}
