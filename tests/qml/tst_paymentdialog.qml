import QtQuick
import QtTest
import Nimbra

Item {
    id: root

    property int clicksBehind: 0

    width: 900
    height: 700

    // A page control under the dialog: the backdrop must keep clicks from it.
    MouseArea {
        anchors.fill: parent
        onClicked: root.clicksBehind += 1
    }

    Component {
        id: dialogComponent

        RechargePaymentDialog {}
    }

    SignalSpy {
        id: closeSpy

        signalName: "closeRequested"
    }

    SignalSpy {
        id: cancelSpy

        signalName: "cancelRequested"
    }

    SignalSpy {
        id: refreshSpy

        signalName: "refreshRequested"
    }

    TestCase {
        name: "RechargePaymentDialog"
        when: windowShown

        readonly property string codeUrl: "weixin://wxpay/bizpayurl?pr=Nimbra42"

        function create(properties) {
            const base = { opened: true, qrGenerator: App.qrCodeGenerator, orderId: 42, amountText: "30.5",
                           remainingSeconds: 125, canCancel: true }
            for (const key in properties)
                base[key] = properties[key]
            const dialog = createTemporaryObject(dialogComponent, root, base)
            verify(dialog)
            for (const spy of [closeSpy, cancelSpy, refreshSpy]) {
                spy.target = dialog
                spy.clear()
            }
            root.clicksBehind = 0
            waitForRendering(dialog)
            return dialog
        }

        function text(dialog, name) {
            return findChild(dialog, name).text
        }

        function test_content() {
            const dialog = create({ codeUrl: codeUrl, productName: "独享 IP 月卡", statusText: "等待微信扫码" })
            const image = findChild(dialog, "paymentQrImage")
            verify(dialog.qrImageSource.startsWith("data:image/png;base64,"))
            compare(image.source.toString(), dialog.qrImageSource)
            tryCompare(image, "status", Image.Ready)
            verify(!image.smooth)
            verify(!findChild(dialog, "qrPlaceholder").parent.visible)
            compare(text(dialog, "productText"), "独享 IP 月卡")
            compare(text(dialog, "amountText"), "¥30.5")
            compare(text(dialog, "orderText"), "订单号  42")
            compare(text(dialog, "countdownText"), "请在 2 分 5 秒内完成支付")
            compare(text(dialog, "statusText"), "等待微信扫码")
            dialog.remainingSeconds = 0
            compare(text(dialog, "countdownText"), "订单支付时间已结束")

            // A new order's link replaces the picture.
            const first = dialog.qrImageSource
            dialog.codeUrl = codeUrl + "7"
            verify(dialog.qrImageSource.startsWith("data:image/png;base64,"))
            verify(dialog.qrImageSource !== first)
        }

        function test_placeholder_data() {
            return [
                { tag: "no link yet", codeUrl: "", expected: "正在获取二维码" },
                // Longer than one code holds: the generator gives nothing.
                { tag: "link too long", codeUrl: "weixin://wxpay/" + "x".repeat(200), expected: "二维码生成失败" }
            ]
        }

        function test_placeholder(data) {
            const dialog = create({ codeUrl: data.codeUrl })
            compare(dialog.qrImageSource, "")
            const placeholder = findChild(dialog, "qrPlaceholder")
            verify(placeholder.parent.visible)
            compare(placeholder.text, data.expected)
        }

        function test_buttons() {
            const dialog = create({ codeUrl: codeUrl })
            mouseClick(findChild(dialog, "refreshButton"))
            compare(refreshSpy.count, 1)
            // Cancelling asks first, in the button's own label.
            const cancel = findChild(dialog, "cancelButton")
            mouseClick(cancel)
            compare(cancelSpy.count, 0)
            compare(cancel.text, "确认取消？")
            mouseClick(cancel)
            compare(cancelSpy.count, 1)
            compare(cancel.text, "取消订单")
            mouseClick(findChild(dialog, "dismissButton"))
            mouseClick(findChild(dialog, "closeButton"))
            keyClick(Qt.Key_Escape)
            compare(closeSpy.count, 3)
            // The backdrop swallows the click without closing.
            mouseClick(dialog, 10, 10)
            compare(root.clicksBehind, 0)
            compare(closeSpy.count, 3)

            dialog.canCancel = false
            verify(!findChild(dialog, "cancelButton").visible)
            dialog.opened = false
            verify(!dialog.visible)
        }
    }
}
