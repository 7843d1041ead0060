import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The window's title bar: drag to move, double-click to maximise, the account chip, the run-log
// button and the three window buttons.
Item {
    id: bar

    required property bool dawn
    required property string assetRoot
    required property bool loggedIn
    required property string userName
    required property int vipNum
    // Maximised or full screen: the corners are square.
    required property bool expandedLayout
    readonly property alias accountChip: chip

    signal moveRequested()
    signal maximizeToggled()
    signal minimizeRequested()
    signal closeRequested()
    signal logRequested()
    signal accountMenuRequested(Item anchorItem)

    height: 46

    MouseArea {
        anchors.fill: parent
        anchors.rightMargin: 390
        onPressed: bar.moveRequested()
        onDoubleClicked: bar.maximizeToggled()
    }

    Row {
        x: 16
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10

        Image {
            width: 26
            height: 26
            anchors.verticalCenter: parent.verticalCenter
            source: bar.assetRoot + "/logo.png"
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
            color: Theme.ink(bar.dawn)
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: versionText.implicitWidth + 16
            height: 20
            radius: 10
            color: Theme.panelInner(bar.dawn)
            border.color: Theme.ink4(bar.dawn)

            Text {
                id: versionText

                anchors.centerIn: parent
                textFormat: Text.PlainText
                text: WindowStart.systemName + " 版 · v" + WindowStart.version
                color: Theme.ink3(bar.dawn)
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

            readonly property bool showVip: bar.loggedIn && bar.vipNum > 0

            anchors.verticalCenter: parent.verticalCenter
            width: 165
            height: 30
            radius: 15
            color: chipArea.containsMouse ? Qt.alpha(Theme.primary(bar.dawn), 0.14) : Theme.panelInner(bar.dawn)
            border.color: chipArea.activeFocus ? Theme.primary(bar.dawn) : Theme.ink4(bar.dawn)

            Rectangle {
                id: chipAvatar

                x: 4
                anchors.verticalCenter: parent.verticalCenter
                width: 22
                height: 22
                radius: 11
                gradient: Gradient {
                    GradientStop { position: 0; color: Theme.primary(bar.dawn) }
                    GradientStop { position: 1; color: Theme.accent(bar.dawn) }
                }

                Text {
                    anchors.centerIn: parent
                    visible: bar.loggedIn
                    textFormat: Text.PlainText
                    text: bar.userName.charAt(0)
                    color: Theme.brightInk
                    font.family: Fonts.latin()
                    font.pixelSize: 14
                    font.bold: true
                }

                Icon {
                    anchors.centerIn: parent
                    width: 14
                    height: 14
                    visible: !bar.loggedIn
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
                text: bar.loggedIn ? bar.userName : "未登录"
                color: Theme.ink(bar.dawn)
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
                label: bar.loggedIn ? "账户菜单 · " + bar.userName : "登录 · 未登录"
                lightMode: bar.dawn
                focusRadius: 18
                onActivated: bar.accountMenuRequested(chip)
            }
        }

        Item {
            width: 10
            height: 1
        }

        WindowButton {
            iconName: "history"
            label: "运行日志"
            lightMode: bar.dawn
            iconColor: Theme.ink2(bar.dawn)
            hoverFill: Theme.panelInner(bar.dawn)
            onActivated: bar.logRequested()
        }

        WindowButton {
            iconName: "min"
            label: "最小化"
            lightMode: bar.dawn
            iconColor: Theme.ink2(bar.dawn)
            hoverFill: Theme.panelInner(bar.dawn)
            onActivated: bar.minimizeRequested()
        }

        WindowButton {
            iconName: "max"
            label: "最大化"
            lightMode: bar.dawn
            iconColor: Theme.ink2(bar.dawn)
            hoverFill: Theme.panelInner(bar.dawn)
            onActivated: bar.maximizeToggled()
        }

        WindowButton {
            id: closeButton

            iconName: "close"
            label: "关闭"
            lightMode: bar.dawn
            iconColor: hovered ? "#ffffff" : Theme.ink2(bar.dawn)
            hoverFill: "#e81123"
            pressedFill: "#bd1020"
            cornerRadius: bar.expandedLayout ? 0 : 14
            onActivated: bar.closeRequested()
        }
    }
}
