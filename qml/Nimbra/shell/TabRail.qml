pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The left rail: logo, the four tabs under a moving highlight, the account avatar at the bottom.
Rectangle {
    id: rail

    required property bool dawn
    required property string assetRoot
    required property string tab
    required property int tabIndex
    required property bool loggedIn
    required property string userName
    readonly property alias avatar: avatarCircle

    signal tabRequested(string name, int index)
    signal membershipRequested()
    signal accountMenuRequested(Item anchorItem)

    width: 94
    color: Theme.panelInner(rail.dawn)

    Rectangle {
        anchors.right: parent.right
        width: 1
        height: parent.height
        color: Theme.ink4(rail.dawn)
        opacity: 0.5
    }

    Image {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 16
        width: 42
        height: 42
        source: rail.assetRoot + "/logo.png"
        sourceSize.width: 84
        sourceSize.height: 84
        smooth: true
        // Decoded off the GUI thread: the logo may show a moment after the first frame.
        asynchronous: true
    }

    Rectangle {
        id: highlight

        objectName: "tabHighlight"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 76 + rail.tabIndex * 68
        width: 72
        height: 64
        radius: 16
        color: Qt.alpha(Theme.primary(rail.dawn), rail.dawn ? 0.16 : 0.2)
        border.color: Qt.alpha(Theme.primary(rail.dawn), 0.45)

        Behavior on y {
            NumberAnimation {
                duration: 500
                easing.type: Easing.OutBack
            }
        }
    }

    Repeater {
        model: [
            { label: "加速", icon: "bolt", tab: "home" },
            { label: "游戏库", icon: "game", tab: "games" },
            { label: "会员", icon: "crown", tab: "vip" },
            { label: "设置", icon: "gear", tab: "settings" }
        ]

        delegate: Item {
            id: tabItem

            required property var modelData
            required property int index
            readonly property bool selected: rail.tab === modelData.tab
            readonly property color tint: selected ? Theme.primary(rail.dawn) : Theme.ink3(rail.dawn)

            anchors.horizontalCenter: parent.horizontalCenter
            y: 76 + index * 68
            width: 72
            height: 64

            Icon {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 10
                width: 22
                height: 22
                name: tabItem.modelData.icon
                color: tabArea.containsMouse && !tabItem.selected ? Theme.ink(rail.dawn) : tabItem.tint
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 38
                textFormat: Text.PlainText
                text: tabItem.modelData.label
                color: tabItem.selected || tabArea.containsMouse ? Theme.ink(rail.dawn) : Theme.ink3(rail.dawn)
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
                font.bold: tabItem.selected
            }

            ClickArea {
                id: tabArea

                anchors.fill: parent
                label: tabItem.modelData.label
                lightMode: rail.dawn
                focusRadius: 19
                role: Accessible.PageTab
                Accessible.selected: tabItem.selected
                onActivated: {
                    if (tabItem.modelData.tab === "vip")
                        rail.membershipRequested()
                    else
                        rail.tabRequested(tabItem.modelData.tab, tabItem.index)
                }
            }
        }
    }

    Rectangle {
        id: avatarCircle

        objectName: "railAvatar"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18
        width: 34
        height: 34
        radius: 17
        gradient: Gradient {
            GradientStop { position: 0; color: Theme.primary(rail.dawn) }
            GradientStop { position: 1; color: Theme.accent(rail.dawn) }
        }
        border.width: rail.loggedIn ? 3 : 0
        border.color: Theme.gold

        Text {
            anchors.centerIn: parent
            // The product mark stands in for a name while nobody is signed in.
            textFormat: Text.PlainText
            text: rail.loggedIn ? rail.userName.charAt(0) : "N"
            color: Theme.brightInk
            font.family: Fonts.latin()
            font.pixelSize: 14
            font.bold: true
        }

        ClickArea {
            anchors.fill: parent
            // Named for what it does: the account menu, or the sign-in while nobody is signed in.
            label: rail.loggedIn ? "账户菜单" : "登录"
            lightMode: rail.dawn
            focusRadius: 20
            onActivated: rail.accountMenuRequested(avatarCircle)
        }
    }
}
