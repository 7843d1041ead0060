import QtQuick
import Nimbra

// The purchase page's two group dialogs: the leader centre and the group detail ("我的拼团"). What
// they show and the requests behind them are the purchase client's GroupPurchase.
Item {
    id: flow

    required property GroupPurchase groups
    required property RechargeApi api
    required property GlobalData dataStore
    required property int guid
    required property var games
    required property bool lightMode

    signal toastRequested(string message, bool warning)

    LeaderCenterDialog {
        objectName: "leaderCenter"
        opened: flow.groups.leaderOpened
        lightMode: flow.lightMode
        api: flow.api
        dataStore: flow.dataStore
        guid: flow.guid
        games: flow.games
        onCloseRequested: flow.groups.leaderOpened = false
        onToastRequested: (message, warning) => flow.toastRequested(message, warning)
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
