import QtQuick
import QtTest
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"
import "qrc:/qt/qml/Nimbra/recharge"

// Pop-ups are opaque: what lies under a pop-up's text looks the same whether the page behind it is
// full of text or empty.
Item {
    id: root

    property bool pageShown: true
    property bool light: false

    width: 900
    height: 700

    // A page of high-contrast text in both themes' ink, where any see-through surface would show.
    Rectangle {
        anchors.fill: parent
        color: Theme.darkBg(root.light)

        Column {
            visible: root.pageShown

            Repeater {
                model: 30

                Text {
                    required property int index

                    text: "页面文字 PAGE TEXT ¥30 页面文字 PAGE TEXT ¥30 页面文字 PAGE TEXT ¥30"
                    color: index % 2 ? "#ffffff" : "#000000"
                    font.pixelSize: 22
                    font.bold: true
                }
            }
        }
    }

    Component {
        id: accountMenu

        AccountMenu {
            x: 120
            y: 90
            userName: "138****8000"
            vipNum: 3
            vipExpiryText: "2027-01-05 到期 · 剩余 30 天"
        }
    }

    Component {
        id: regionMenu

        PopupMenu {
            x: 300
            y: 200
            width: 205
            height: 210
            rows: [{ title: "国服", detail: "32 ms" }, { title: "国际服", detail: "58 ms" }]
            current: "国服"
        }
    }

    Component {
        id: paymentDialog

        RechargePaymentDialog {
            opened: true
            productName: "季卡"
            amountText: "78"
            orderId: 42
            remainingSeconds: 125
            qrGenerator: App.qrCodeGenerator
        }
    }

    Component {
        id: logDialog

        LogDialog {
            x: 70
            y: 60
            width: 760
            height: 400
            log: RunLogModel {}
            playerLog: RunLogModel {}
            history: LatencyHistoryModel {}
        }
    }

    // A purchase dialog: its card is shown in a pop-up over the page's mask.
    Component {
        id: purchaseDialog

        ModalFrame {
            title: "我的拼团"
            subtitle: "查看普通拼团的成员席位和成团进度"
            cardWidth: 600
            cardHeight: 300
        }
    }

    TestCase {
        name: "OpaquePopups"
        when: windowShown

        function test_textSurfaceIgnoresPage_data() {
            const rows = []
            for (const light of [false, true]) {
                const theme = light ? "light " : "dark "
                rows.push({ tag: theme + "account menu", component: accountMenu, light: light,
                            properties: { lightMode: light }, texts: ["accountText", "statusText"] })
                rows.push({ tag: theme + "region menu", component: regionMenu, light: light,
                            properties: { lightMode: light }, texts: [] })
                rows.push({ tag: theme + "payment dialog", component: paymentDialog, light: light,
                            properties: { lightMode: light }, texts: ["amountText", "orderText", "statusText"] })
                rows.push({ tag: theme + "log dialog", component: logDialog, light: light,
                            properties: { lightMode: light }, texts: ["emptyText", "subtitle"] })
                rows.push({ tag: theme + "purchase dialog", component: purchaseDialog, light: light,
                            properties: { lightMode: light }, texts: ["subtitle"] })
            }
            return rows
        }

        // Samples the rectangle of each named text (the pop-up's inside, clear of its rounded corners
        // and its rim, when none is named) in a grab over the page and in one over the empty page.
        function test_textSurfaceIgnoresPage(data) {
            root.light = data.light
            root.pageShown = true
            const popup = createTemporaryObject(data.component, root, data.properties)
            verify(popup)
            const areas = data.texts.length === 0 ? [popup] : data.texts.map(name => findChild(popup, name))
            for (const area of areas)
                verify(area && area.visible && area.width > 0, "text shown")
            waitForRendering(popup)
            const withPage = grabImage(root)
            root.pageShown = false
            waitForRendering(popup)
            const withoutPage = grabImage(root)
            let worst = 0
            for (const area of areas) {
                const inset = area === popup ? popup.radius : 0
                const box = area.mapToItem(root, inset, inset, area.width - 2 * inset, area.height - 2 * inset)
                for (let x = Math.ceil(box.x); x < box.x + box.width; x += 2) {
                    for (let y = Math.ceil(box.y); y < box.y + box.height; y += 2) {
                        const a = withPage.pixel(x, y)
                        const b = withoutPage.pixel(x, y)
                        worst = Math.max(worst, Math.abs(a.r - b.r), Math.abs(a.g - b.g), Math.abs(a.b - b.b))
                    }
                }
            }
            // Rounding of the blend may differ by a level or two; page text showing through would not.
            verify(worst <= 3 / 255, data.tag + ": differs by " + Math.round(worst * 255) + " levels")
        }
    }
}
