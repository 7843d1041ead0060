pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../Fonts.js" as Fonts
import "RechargeLogic.js" as RechargeLogic

// The group orders of the group detail; clicking one asks for its group.
Item {
    id: list

    required property ThemedScope theme
    property var orders: []
    property int selectedOrderId: 0

    signal orderRequested(var order)

    Text {
        id: heading

        textFormat: Text.PlainText
        text: "拼团订单"
        color: list.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Text {
        visible: rows.count === 0
        anchors.centerIn: parent
        textFormat: Text.PlainText
        text: "暂无拼团记录"
        color: list.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    ListView {
        id: rows

        objectName: "groupOrderList"
        anchors.top: heading.bottom
        anchors.topMargin: 10
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        spacing: 8
        boundsBehavior: Flickable.StopAtBounds
        model: list.orders
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: row

            required property var modelData

            readonly property int orderId: RechargeLogic.orderId(modelData)
            readonly property bool selected: orderId > 0 && orderId === list.selectedOrderId

            width: rows.width
            height: 74
            radius: 12
            color: selected ? Qt.alpha(list.theme.primary, 0.12)
                            : (area.containsMouse ? Qt.alpha(list.theme.ink, 0.05) : "transparent")
            border.width: 1
            border.color: selected || activeFocus ? list.theme.primary : list.theme.ink4
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: title.text + " 订单号 " + orderId
            Accessible.onPressAction: list.orderRequested(modelData)
            Keys.onReturnPressed: list.orderRequested(modelData)
            Keys.onEnterPressed: list.orderRequested(modelData)

            MouseArea {
                id: area

                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: list.orderRequested(row.modelData)
            }

            Column {
                x: 14
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 28
                spacing: 4

                Text {
                    id: title

                    width: parent.width
                    textFormat: Text.PlainText
                    text: row.modelData.product_name || "普通拼团"
                    color: list.theme.ink
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: 13
                    font.bold: true
                }

                Text {
                    textFormat: Text.PlainText
                    text: "订单号 " + row.orderId
                    color: list.theme.ink3
                    font.family: Fonts.latin()
                    font.pixelSize: Theme.textSize(12)
                }

                Text {
                    textFormat: Text.PlainText
                    text: row.modelData.payment_status_text + " · ¥" + row.modelData.price_text
                    color: list.theme.ink2
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }
}
