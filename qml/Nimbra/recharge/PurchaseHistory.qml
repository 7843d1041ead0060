pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts
import "../shell"
import "RechargeLogic.js" as RechargeLogic

// The purchase history over the page: the orders the client last loaded, each with the one action that
// fits it (pay a pending order, cancel it, or look at its detail).
FocusScope {
    id: history

    required property ThemedScope theme
    required property RechargeApi api
    // The orders the client last loaded (order records).
    property var orders: []
    // An order is being created: "继续支付" waits.
    property bool creating: false
    // The order whose detail the panel shows in place of the list; null shows the list.
    property var detail: null
    property int requestedDetailId: 0

    signal closeRequested()
    signal continueRequested(var order)
    // A group order's detail is the group dialog's.
    signal groupDetailRequested(var order)

    function continuePayment(order) {
        continueRequested(order)
    }

    function cancelOrder(order) {
        api.cancelOrder(api.sessionGuid(), RechargeLogic.orderId(order))
    }

    function showDetail(order) {
        if (RechargeLogic.isGroupOrder(order)) {
            closeRequested()
            groupDetailRequested(order)
        } else {
            requestedDetailId = RechargeLogic.orderId(order)
            api.loadOrderDetail(api.sessionGuid(), requestedDetailId)
        }
    }

    Accessible.role: Accessible.Dialog
    Accessible.name: "订单记录"
    Keys.onEscapePressed: {
        if (detail !== null)
            detail = null
        else
            closeRequested()
    }
    onVisibleChanged: {
        detail = null
        if (visible)
            forceActiveFocus()
    }

    Rectangle {
        anchors.fill: parent
        radius: 18
        color: Theme.scrim(history.theme.lightMode)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
            onClicked: history.closeRequested()
        }
    }

    Connections {
        target: history.api

        // Only this list asks for an order's detail; it shows the one last asked for.
        function onOrderDetailLoaded(order) {
            if (history.requestedDetailId > 0 && RechargeLogic.orderId(order) === history.requestedDetailId)
                history.detail = order
        }
    }

    PopupCard {
        id: card

        anchors.centerIn: parent
        width: Math.min(760, parent.width - 80)
        height: Math.min(580, parent.height - 60)
        theme: ThemeColors { lightMode: history.theme.lightMode }

        DialogHeader {
            id: header

            width: parent.width
            theme: ThemeColors { lightMode: history.theme.lightMode }
            title: "订单记录"
            subtitle: "待支付订单可继续获取微信二维码"
            onCloseRequested: history.closeRequested()
        }

        Text {
            visible: list.count === 0 && history.detail === null
            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: "暂无订单记录"
            color: history.theme.ink3
            font.family: Fonts.ui()
            font.pixelSize: 14
        }

        ListView {
            id: list

            objectName: "orderList"
            anchors.fill: parent
            anchors.topMargin: header.height
            anchors.leftMargin: 18
            anchors.rightMargin: 18
            anchors.bottomMargin: 18
            visible: history.detail === null
            clip: true
            spacing: 8
            boundsBehavior: Flickable.StopAtBounds
            model: history.orders
            ScrollBar.vertical: ScrollBar {}

            delegate: Rectangle {
                id: row

                required property var modelData
                readonly property string orderNumber: RechargeLogic.orderNumber(modelData)
                // An order that can only be cancelled gets the button that asks first.
                readonly property bool cancelOnly: modelData.can_cancel === true && modelData.can_pay !== true
                readonly property string action: modelData.can_pay ? "继续支付" : "查看详情"

                width: ListView.view.width
                height: 64
                radius: 12
                color: Qt.alpha(history.theme.ink, 0.04)
                border.color: history.theme.ink4

                Column {
                    x: 16
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 360
                    spacing: 5

                    Text {
                        width: parent.width
                        elide: Text.ElideRight
                        textFormat: Text.PlainText
                        text: row.modelData.product_name || "会员订单"
                        color: history.theme.ink
                        font.family: Fonts.ui()
                        font.pixelSize: 14
                        font.bold: true
                    }

                    Text {
                        width: parent.width
                        elide: Text.ElideRight
                        textFormat: Text.PlainText
                        text: "订单号：" + row.orderNumber + " · 下单时间：" + RechargeLogic.formatDateTime(row.modelData.created_at)
                        color: history.theme.ink3
                        font.family: Fonts.ui()
                        font.pixelSize: Theme.textSize(12)
                    }
                }

                Text {
                    anchors.right: statusText.left
                    anchors.rightMargin: 22
                    anchors.verticalCenter: parent.verticalCenter
                    textFormat: Text.PlainText
                    text: "¥" + row.modelData.price_text
                    color: history.theme.ink
                    font.family: Fonts.latin()
                    font.pixelSize: 16
                    font.bold: true
                }

                Text {
                    id: statusText

                    anchors.right: actionButton.left
                    anchors.rightMargin: 18
                    anchors.verticalCenter: parent.verticalCenter
                    width: 60
                    horizontalAlignment: Text.AlignRight
                    textFormat: Text.PlainText
                    text: row.modelData.payment_status_text
                    color: Theme.text(row.modelData.payment_status === "paid" ? history.theme.neon : history.theme.ink2)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }

                DialogButton {
                    id: actionButton

                    anchors.right: parent.right
                    anchors.rightMargin: 14
                    anchors.verticalCenter: parent.verticalCenter
                    implicitWidth: 92
                    visible: !row.cancelOnly
                    theme: ThemeColors { lightMode: history.theme.lightMode }
                    text: row.action
                    accessibleName: row.action + " " + row.orderNumber
                    enabled: !history.creating
                    opacity: enabled ? 1 : 0.5
                    onActivated: {
                        if (!enabled)
                            return
                        if (row.modelData.can_pay)
                            history.continuePayment(row.modelData)
                        else
                            history.showDetail(row.modelData)
                    }
                }

                ConfirmButton {
                    anchors.fill: actionButton
                    visible: row.cancelOnly
                    theme: ThemeColors { lightMode: history.theme.lightMode }
                    label: "取消订单"
                    subject: row.orderNumber
                    tint: history.theme.accent
                    enabled: !history.creating
                    opacity: enabled ? 1 : 0.5
                    onConfirmed: history.cancelOrder(row.modelData)
                }
            }
        }

        // The detail of one order, in place of the list.
        Column {
            objectName: "orderDetail"
            visible: history.detail !== null
            anchors.fill: parent
            anchors.topMargin: header.height + 4
            anchors.leftMargin: 28
            anchors.rightMargin: 28
            spacing: 12

            Text {
                textFormat: Text.PlainText
                text: "订单详情"
                color: history.theme.ink
                font.family: Fonts.ui()
                font.pixelSize: 15
                font.bold: true
            }

            Repeater {
                model: RechargeLogic.orderDetailRows(history.detail)

                delegate: Row {
                    required property var modelData

                    width: parent ? parent.width : 0
                    spacing: 16
                    Accessible.role: Accessible.StaticText
                    Accessible.name: modelData.label + "：" + modelData.value

                    Text {
                        width: 84
                        textFormat: Text.PlainText
                        text: parent.modelData.label
                        color: history.theme.ink3
                        font.family: Fonts.ui()
                        font.pixelSize: 13
                    }

                    Text {
                        objectName: "detailValue"
                        width: parent.width - 100
                        wrapMode: Text.Wrap
                        textFormat: Text.PlainText
                        text: parent.modelData.value
                        color: history.theme.ink
                        font.family: Fonts.ui()
                        font.pixelSize: 13
                    }
                }
            }

            DialogButton {
                objectName: "detailBackButton"
                theme: ThemeColors { lightMode: history.theme.lightMode }
                text: "返回列表"
                onActivated: history.detail = null
            }
        }
    }
}
