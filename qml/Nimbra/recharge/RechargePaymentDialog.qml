import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"
import "RechargeLogic.js" as RechargeLogic

// The WeChat payment of one order: its QR code, amount, countdown and status. The purchase client's
// PaymentOrder owns the order, the countdown and the polling; this only shows them and reports the
// buttons.
ThemedScope {
    id: dialog

    property bool opened: false

    property string codeUrl: ""
    property string qrImageSource: ""
    property string productName: "会员订单"
    // The amount as shown (PaymentOrder.amountText).
    property string amountText: "0"
    property real orderId: 0
    property int remainingSeconds: 0
    property string statusText: "等待扫码"
    property bool canCancel: false

    required property QrCodeGenerator qrGenerator

    readonly property bool timeLeft: remainingSeconds > 0
    readonly property color live: Theme.neon(lightMode)

    signal closeRequested()
    signal cancelRequested()
    signal refreshRequested()

    function refreshQrCode() {
        qrImageSource = codeUrl !== "" && qrGenerator ? qrGenerator.toDataUrl(codeUrl, 260, 4) : ""
    }

    // Esc and Tab work at once, without a click into the dialog first.
    function takeFocus() {
        if (opened)
            forceActiveFocus()
    }

    anchors.fill: parent
    z: 100
    visible: opened
    Accessible.role: Accessible.Dialog
    Accessible.name: "微信扫码支付"
    Keys.onEscapePressed: closeRequested()
    Component.onCompleted: {
        refreshQrCode()
        takeFocus()
    }
    onCodeUrlChanged: refreshQrCode()
    onOpenedChanged: takeFocus()

    // The backdrop takes every click and wheel turn, so nothing behind reacts while paying.
    Rectangle {
        anchors.fill: parent
        color: Theme.scrim(dialog.lightMode)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
        }
    }

    PopupCard {
        id: card

        anchors.centerIn: parent
        width: 380
        height: header.height + body.implicitHeight + 22
        theme: ThemeColors { lightMode: dialog.lightMode }

        DialogHeader {
            id: header

            width: parent.width
            theme: ThemeColors { lightMode: dialog.lightMode }
            title: "微信扫码支付"
            subtitle: "请使用微信扫一扫完成支付"
            onCloseRequested: dialog.closeRequested()
        }

        Column {
            id: body

            anchors.top: header.bottom
            anchors.horizontalCenter: parent.horizontalCenter
            width: parent.width - 48
            spacing: 6

            PaymentQrCode {
                anchors.horizontalCenter: parent.horizontalCenter
                theme: dialog
                codeUrl: dialog.codeUrl
                source: dialog.qrImageSource
            }

            Item {
                width: 1
                height: 6
            }

            Text {
                objectName: "productText"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: dialog.productName
                color: dialog.ink
                font.family: Fonts.ui()
                font.pixelSize: 15
                font.bold: true
            }

            Text {
                objectName: "amountText"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                textFormat: Text.PlainText
                text: "¥" + dialog.amountText
                color: Theme.text(dialog.accent)
                font.family: Fonts.latin()
                font.pixelSize: 28
                font.bold: true
            }

            Text {
                objectName: "orderText"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                textFormat: Text.PlainText
                text: "订单号  " + dialog.orderId
                color: dialog.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }

            Text {
                objectName: "countdownText"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                textFormat: Text.PlainText
                text: RechargeLogic.countdownText(dialog.remainingSeconds)
                color: Theme.text(dialog.timeLeft ? dialog.ink2 : dialog.accent)
                font.family: Fonts.ui()
                font.pixelSize: 13
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                height: 24
                spacing: 8

                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 8
                    height: 8
                    radius: 4
                    color: dialog.timeLeft ? dialog.live : dialog.ink4
                }

                Text {
                    objectName: "statusText"
                    anchors.verticalCenter: parent.verticalCenter
                    textFormat: Text.PlainText
                    text: dialog.statusText
                    color: dialog.ink2
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                }
            }

            DialogButton {
                objectName: "refreshButton"
                anchors.horizontalCenter: parent.horizontalCenter
                theme: ThemeColors { lightMode: dialog.lightMode }
                text: "我已支付，刷新"
                onActivated: dialog.refreshRequested()
            }

            Text {
                width: parent.width
                topPadding: 4
                bottomPadding: 6
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                text: "二维码只用于当前订单；支付结果以服务器查询状态为准。"
                color: dialog.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 12

                DialogButton {
                    objectName: "dismissButton"
                    theme: ThemeColors { lightMode: dialog.lightMode }
                    text: "关闭窗口"
                    tint: dialog.ink2
                    onActivated: dialog.closeRequested()
                }

                ConfirmButton {
                    objectName: "cancelButton"
                    visible: dialog.canCancel
                    theme: ThemeColors { lightMode: dialog.lightMode }
                    label: "取消订单"
                    tint: dialog.accent
                    onConfirmed: dialog.cancelRequested()
                }
            }
        }
    }
}
