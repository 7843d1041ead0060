import QtQuick
import Nimbra

// The purchase page's two group dialogs: the leader centre and the group detail ("我的拼团"). What
// they show and the requests behind them are the purchase client's GroupPurchase.
Item {
    id: flow

    required property GroupPurchase groups
    // For copying team codes.
    required property GlobalData dataStore
    // The purchase client is asking for something.
    required property bool busy
    required property bool lightMode

    signal toastRequested(string message, bool warning)

    LeaderCenterDialog {
        objectName: "leaderCenter"
        centre: flow.groups.centre
        busy: flow.busy
        lightMode: flow.lightMode
        onCloseRequested: flow.groups.leaderOpened = false
        onToastRequested: (message, warning) => flow.toastRequested(message, warning)
        onCopyRequested: code => {
            if (code === "")
                flow.toastRequested("当前团还没有团码", true)
            else if (flow.dataStore.copyToClipboard(code))
                flow.toastRequested("团码已复制", false)
            else
                flow.toastRequested("团码复制失败", true)
        }
    }

    Connections {
        target: flow.groups.centre

        function onNotice(message, warning) {
            flow.toastRequested(message, warning)
        }
    }

    GroupDetailDialog {
        objectName: "groupDetail"
        opened: flow.groups.detailOpened
        lightMode: flow.lightMode
        loading: flow.groups.detailLoading
        group: flow.groups.group
        orders: flow.groups.groupOrders
        selectedOrderId: flow.groups.detailOrderId
        selectedOrder: flow.groups.selectedOrder
        onCloseRequested: flow.groups.detailOpened = false
        onOrderRequested: order => flow.groups.refreshGroupDetail(order)
        onRefreshRequested: flow.groups.refreshSelected()
    }
}
