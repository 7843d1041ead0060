import QtQuick
import Nimbra

// The payment dialog over the membership page: waiting for the scan with time left (left), the
// order's time run out (middle), and the link not yet known (right).
Rectangle {
    id: scene

    property bool lightMode: false

    width: 3 * 440 + 4 * 16
    height: 640 + 32
    color: lightMode ? "#e9eff7" : "#070c18"

    Row {
        x: 16
        y: 16
        spacing: 16

        Item {
            width: 440
            height: 640

            RechargePaymentDialog {
                opened: true
                lightMode: scene.lightMode
                qrGenerator: App.qrCodeGenerator
                codeUrl: "weixin://wxpay/bizpayurl?pr=NbDev0042xq"
                productName: "独享 IP · 上海电信 · 月卡"
                amountText: "39.9"
                orderId: 100042
                remainingSeconds: 598
                statusText: "等待微信扫码"
                canCancel: true
            }
        }

        Item {
            width: 440
            height: 640

            RechargePaymentDialog {
                opened: true
                lightMode: scene.lightMode
                qrGenerator: App.qrCodeGenerator
                codeUrl: "weixin://wxpay/bizpayurl?pr=NbDev0043zz"
                productName: "拼团套餐 · 国服 · 5人"
                amountText: "12"
                orderId: 100043
                statusText: "待支付"
                canCancel: true
            }
        }

        Item {
            width: 440
            height: 640

            RechargePaymentDialog {
                opened: true
                lightMode: scene.lightMode
                qrGenerator: App.qrCodeGenerator
                orderId: 100044
                amountText: "12.05"
                remainingSeconds: 900
                statusText: "正在获取微信二维码"
            }
        }
    }
}
