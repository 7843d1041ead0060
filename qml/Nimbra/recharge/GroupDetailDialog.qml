import QtQuick
import "../Fonts.js" as Fonts
import "RechargeLogic.js" as RechargeLogic

// "我的拼团": the user's group orders on the left, the selected order's group on the right. The page
// loads the orders and the group; this shows them and reports which order to look at.
ModalFrame {
    id: dialog

    property bool opened: false
    property bool loading: false
    property var group: ({})
    property var orders: []
    property int selectedOrderId: 0
    // The order with that id.
    property var selectedOrder: ({})

    signal orderRequested(var order)
    signal refreshRequested()

    title: "我的拼团"
    subtitle: "查看普通拼团的成员席位和成团进度；团长团请前往团长中心"
    cardWidth: 900
    cardHeight: 600
    visible: opened

    GroupOrderList {
        id: orderList

        width: 270
        height: parent.height
        theme: dialog
        orders: RechargeLogic.asList(dialog.orders)
        selectedOrderId: dialog.selectedOrderId
        onOrderRequested: order => dialog.orderRequested(order)
    }

    Rectangle {
        id: divider

        anchors.left: orderList.right
        anchors.leftMargin: 20
        width: 1
        height: parent.height
        color: dialog.ink4
    }

    Text {
        visible: RechargeLogic.asList(dialog.orders).length === 0
        anchors.centerIn: pane
        textFormat: Text.PlainText
        text: "支付成功的普通拼团会显示在这里"
        color: dialog.ink3
        font.family: Fonts.ui()
        font.pixelSize: 14
    }

    GroupDetailPane {
        id: pane

        visible: RechargeLogic.asList(dialog.orders).length > 0
        anchors.left: divider.right
        anchors.leftMargin: 20
        anchors.right: parent.right
        height: parent.height
        theme: dialog
        group: dialog.group || {}
        order: dialog.selectedOrder
        loading: dialog.loading
        onRefreshRequested: dialog.refreshRequested()
    }
}
