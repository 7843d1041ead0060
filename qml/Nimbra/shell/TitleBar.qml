import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The window's title bar: drag to move, double-click to maximise, the account chip, the run-log
// button and the three window buttons.
Item {
    id: bar

    required property var controller
    readonly property alias accountChip: chip

    height: 46

    MouseArea {
        anchors.fill: parent
        anchors.rightMargin: 390
        onPressed: bar.controller.startSystemMove()
        onDoubleClicked: bar.controller.toggleMaximized()
    }

    Row {
        x: 16
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10

        Image {
            width: 26
            height: 26
            anchors.verticalCenter: parent.verticalCenter
            source: bar.controller.assetRoot + "/logo.png"
            sourceSize.width: 52
            sourceSize.height: 52
            smooth: true
            // Decoded off the GUI thread: the logo may show a moment after the first frame.
            asynchronous: true
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            text: "Nimbra加速器"
            color: bar.controller.ink
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: versionText.implicitWidth + 16
            height: 20
            radius: 10
            color: bar.controller.panelInner
            border.color: bar.controller.ink4

            Text {
                id: versionText

                anchors.centerIn: parent
                textFormat: Text.PlainText
                text: WindowStart.systemName + " 版 · v" + WindowStart.version
                color: bar.controller.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }
        }
    }

    Row {
        anchors.right: parent.right
        height: parent.height
        spacing: 0

        Rectangle {
            id: chip

            readonly property bool showVip: bar.controller.loggedIn && bar.controller.vipNum > 0

            anchors.verticalCenter: parent.verticalCenter
            width: 165
            height: 30
            radius: 15
            color: chipArea.containsMouse ? Qt.alpha(bar.controller.primary, 0.14) : bar.controller.panelInner
            border.color: chipArea.activeFocus ? bar.controller.primary : bar.controller.ink4

            Rectangle {
                id: chipAvatar

                x: 4
                anchors.verticalCenter: parent.verticalCenter
                width: 22
                height: 22
                radius: 11
                gradient: Gradient {
                    GradientStop { position: 0; color: bar.controller.primary }
                    GradientStop { position: 1; color: bar.controller.accent }
                }

                Text {
                    anchors.centerIn: parent
                    visible: bar.controller.loggedIn
                    textFormat: Text.PlainText
                    text: bar.controller.userName.charAt(0)
                    color: Theme.brightInk
                    font.family: Fonts.latin()
                    font.pixelSize: 14
                    font.bold: true
                }

                Icon {
                    anchors.centerIn: parent
                    width: 14
                    height: 14
                    visible: !bar.controller.loggedIn
                    name: "user"
                    color: "#ffffff"
                }
            }

            Text {
                anchors.left: chipAvatar.right
                anchors.leftMargin: 8
                anchors.right: vipBadge.visible ? vipBadge.left : parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: bar.controller.loggedIn ? bar.controller.userName : "未登录"
                color: bar.controller.ink
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }

            Rectangle {
                id: vipBadge

                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                visible: chip.showVip
                width: 30
                height: 16
                radius: 8
                color: Theme.vipBadge

                Text {
                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: "VIP"
                    color: Theme.vipText
                    font.family: Fonts.latin()
                    font.pixelSize: Theme.textSize(10)
                    font.bold: true
                }
            }

            ClickArea {
                id: chipArea

                anchors.fill: parent
                label: bar.controller.loggedIn ? "账户菜单 · " + bar.controller.userName : "登录"
                lightMode: bar.controller.dawn
                focusRadius: 18
                onActivated: bar.controller.toggleAccountMenu(chip, "title-account")
            }
        }

        Item {
            width: 10
            height: 1
        }

        WindowButton {
            iconName: "history"
            label: "运行日志"
            lightMode: bar.controller.dawn
            iconColor: bar.controller.ink2
            hoverFill: bar.controller.panelInner
            onActivated: bar.controller.openLogDialog()
        }

        WindowButton {
            iconName: "min"
            label: "最小化"
            lightMode: bar.controller.dawn
            iconColor: bar.controller.ink2
            hoverFill: bar.controller.panelInner
            onActivated: bar.controller.showMinimized()
        }

        WindowButton {
            iconName: "max"
            label: "最大化"
            lightMode: bar.controller.dawn
            iconColor: bar.controller.ink2
            hoverFill: bar.controller.panelInner
            onActivated: bar.controller.toggleMaximized()
        }

        WindowButton {
            id: closeButton

            iconName: "close"
            label: "关闭"
            lightMode: bar.controller.dawn
            iconColor: hovered ? "#ffffff" : bar.controller.ink2
            hoverFill: "#e81123"
            pressedFill: "#bd1020"
            cornerRadius: bar.controller.expandedLayout ? 0 : 14
            onActivated: bar.controller.close()
        }
    }
}
