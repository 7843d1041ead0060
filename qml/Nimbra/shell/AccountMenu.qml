pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The signed-in user's card: account, membership, points and the sign-out entry. The window places
// and shows it.
Item {
    id: menu

    property string userName: ""
    property int vipNum: 0
    property string vipType: ""
    property string vipExpiryText: ""
    property int points: 0

    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink2: Theme.ink2(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property color accent: Theme.accent(lightMode)
    property color edge: Theme.edge(lightMode)
    readonly property ThemeColors colors: ThemeColors { lightMode: menu.lightMode }

    readonly property bool member: vipNum > 0

    signal signOutRequested()
    // Esc: the window closes the menu.
    signal closeRequested()

    width: 252
    // The expiry and type wrap rather than lose their end, so the card grows with them.
    height: Math.max(186, details.y + details.height + 10 + signOut.height + 12)
    Accessible.role: Accessible.PopupMenu
    Accessible.name: "用户中心"
    Keys.onEscapePressed: menu.closeRequested()

    // Keyboard users land on its one control, 退出登录, and go back where they were when it closes.
    MenuFocus {
        menu: menu
        onOpened: signOut.forceActiveFocus(Qt.PopupFocusReason)
    }

    PopupCard {
        anchors.fill: parent
        theme: menu.colors
    }

    Column {
        id: details

        x: 16
        y: 12
        width: parent.width - 32
        spacing: 3

        Text {
            textFormat: Text.PlainText
            text: "用户中心"
            color: menu.ink
            font.family: Fonts.ui()
            font.pixelSize: 14
            font.bold: true
        }

        Text {
            objectName: "accountText"
            width: parent.width
            textFormat: Text.PlainText
            text: "账号：" + menu.userName
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            color: menu.ink2
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            id: statusText

            objectName: "statusText"
            width: parent.width
            textFormat: Text.PlainText
            text: "会员状态：" + (menu.member ? "VIP 会员" : "普通用户")
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            color: menu.member ? Theme.memberText(menu.lightMode) : menu.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
            font.bold: menu.member
        }

        Repeater {
            model: {
                const rows = [
                    "会员类型：" + (menu.vipType !== "" ? menu.vipType : (menu.member ? "尊享会员" : "—")),
                    "有效期：" + (menu.vipExpiryText !== "" ? menu.vipExpiryText : "—"),
                    "积分余额：" + menu.points
                ]
                if (menu.member)
                    rows.unshift("会员编号：" + menu.vipNum)
                return rows
            }

            delegate: Text {
                required property string modelData

                width: parent ? parent.width : 0
                textFormat: Text.PlainText
                text: modelData
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                color: menu.ink3
                wrapMode: Text.Wrap
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }
        }
    }

    DialogButton {
        id: signOut

        objectName: "signOutButton"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 12
        theme: menu.colors
        text: "退出登录"
        tint: menu.accent
        onActivated: menu.signOutRequested()
    }
}
