pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../shell"
import "../Fonts.js" as Fonts

// One group of the group detail: its name and status, identity, progress and line, and its seats.
Item {
    id: pane

    required property ThemedScope theme
    property var group: ({})
    property var order: ({})
    property bool loading: false

    // Its texts, read from the group and the order.
    readonly property GroupDetail detail: GroupDetail {
        group: pane.group
        order: pane.order
    }

    signal refreshRequested()

    Item {
        id: top

        width: parent.width
        height: 32

        Row {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - refreshButton.width - 12
            spacing: 10

            Text {
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth, parent.width - badge.width - 10)
                textFormat: Text.PlainText
                text: pane.detail.name
                color: pane.theme.ink
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 16
                font.bold: true
            }

            StatusBadge {
                id: badge

                anchors.verticalCenter: parent.verticalCenter
                text: pane.detail.statusText
                tint: text === "已成团" ? pane.theme.neon : (text === "组团中" ? pane.theme.primary : pane.theme.ink3)
            }
        }

        DialogButton {
            id: refreshButton

            objectName: "refreshButton"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            enabled: !pane.loading
            theme: ThemeColors { lightMode: pane.theme.lightMode }
            text: pane.loading ? "刷新中…" : "刷新状态"
            onActivated: pane.refreshRequested()
        }
    }

    Row {
        id: fields

        anchors.top: top.bottom
        anchors.topMargin: 16
        width: parent.width
        spacing: 12

        Repeater {
            model: [
                [pane.detail.identityLabel, pane.detail.identityValue],
                ["成团进度", pane.detail.progressText],
                ["节点/区服", pane.detail.nodeText]
            ]

            delegate: Rectangle {
                id: box

                required property var modelData

                width: (fields.width - 24) / 3
                height: 62
                radius: 12
                color: Qt.alpha(pane.theme.ink, 0.04)
                border.width: 1
                border.color: pane.theme.ink4

                InfoField {
                    x: 14
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 28
                    theme: pane.theme
                    caption: box.modelData[0]
                    value: box.modelData[1]
                }
            }
        }
    }

    Text {
        id: seatsHeading

        anchors.top: fields.bottom
        anchors.topMargin: 20
        textFormat: Text.PlainText
        text: "席位与游戏"
        color: pane.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    Text {
        visible: pane.detail.members.length === 0
        anchors.top: seatsHeading.bottom
        anchors.topMargin: 24
        anchors.horizontalCenter: parent.horizontalCenter
        textFormat: Text.PlainText
        text: "等待其他成员加入"
        color: pane.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: 13
    }

    BusyIndicator {
        anchors.left: seatsHeading.right
        anchors.leftMargin: 8
        anchors.verticalCenter: seatsHeading.verticalCenter
        width: 22
        height: 22
        running: pane.loading
        visible: pane.loading
    }

    ListView {
        objectName: "memberList"
        anchors.top: seatsHeading.bottom
        anchors.topMargin: 10
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        spacing: 6
        boundsBehavior: Flickable.StopAtBounds
        model: pane.detail.members
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: member

            required property var modelData
            required property int index

            width: ListView.view.width
            height: 40
            radius: 10
            color: Qt.alpha(pane.theme.ink, 0.04)

            Text {
                id: seatNumber

                x: 12
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: (member.index < 9 ? "0" : "") + (member.index + 1)
                color: Theme.text(pane.theme.primary)
                font.family: Fonts.latin()
                font.pixelSize: 13
                font.bold: true
            }

            Text {
                anchors.left: seatNumber.right
                anchors.leftMargin: 12
                anchors.right: status.left
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: member.modelData.line
                color: pane.theme.ink
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 13
            }

            Text {
                id: status

                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: member.modelData.status
                color: Theme.text(text === "已支付" ? pane.theme.neon : pane.theme.ink2)
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }
        }
    }
}
