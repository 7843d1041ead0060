pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../shell"
import "RechargeLogic.js" as RechargeLogic

// One plan: name, description and flag, what it includes, and its price. A plan the service marks as
// unavailable is dimmed and cannot be chosen.
Rectangle {
    id: card

    required property ThemedScope theme
    property var product: ({})
    property string mode: "shared"
    property string ipType: ""
    property bool selected: false

    readonly property bool available: !!product && product.available !== false
    readonly property string priceText: RechargeLogic.productPriceText(product, ipType)
    readonly property string flag: RechargeLogic.productFlag(product)
    readonly property var benefits: RechargeLogic.productBenefits(product, mode)

    signal chosen()

    radius: 18
    opacity: available ? 1 : 0.5
    color: selected ? Qt.alpha(theme.primary, theme.lightMode ? 0.12 : 0.14)
                    : (area.containsMouse && available ? Qt.alpha(theme.ink, 0.07) : theme.cardFill)
    border.width: selected || area.activeFocus ? 2 : 1
    border.color: selected || area.activeFocus ? theme.primary : theme.edge

    Rectangle {
        visible: card.flag !== ""
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 14
        width: Math.min(flagText.implicitWidth + 18, card.width / 2)
        height: 22
        radius: 11
        color: Qt.alpha(card.theme.accent, 0.16)

        Text {
            id: flagText

            anchors.centerIn: parent
            width: Math.min(implicitWidth, parent.width - 12)
            elide: Text.ElideRight
            textFormat: Text.PlainText
            text: card.flag
            color: Theme.text(card.theme.accent)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(11)
            font.bold: true
        }
    }

    Column {
        x: 18
        y: 16
        width: parent.width - 36
        spacing: 6

        // Group plan names differ only at their end (国服 / 国际服): up to two lines broken between the
        // name's parts, shrunk where a part alone is wider than the card.
        Text {
            id: planName

            objectName: "planName"
            width: parent.width - (card.flag !== "" ? 100 : 0)
            textFormat: Text.PlainText
            text: RechargeLogic.nameLines(RechargeLogic.productName(card.product, card.mode), width,
                                          line => nameMetrics.advanceWidth(line), 2)
            color: Theme.text(card.selected ? card.theme.primary : card.theme.ink)
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 11
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true

            FontMetrics {
                id: nameMetrics

                font.family: planName.font.family
                font.pixelSize: 16
                font.bold: true
            }
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: RechargeLogic.productDescription(card.product, card.mode)
            color: card.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            topPadding: 6
            textFormat: Text.PlainText
            text: "套餐内容"
            color: card.theme.ink2
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
            font.bold: true
        }

        Repeater {
            model: card.benefits

            delegate: Row {
                id: benefit

                required property var modelData

                spacing: 6

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 11
                    height: 11
                    name: "check"
                    color: card.theme.neon
                    strokeWidth: 2.4
                }

                Text {
                    width: card.width - 36 - 17
                    textFormat: Text.PlainText
                    text: benefit.modelData.detail ? benefit.modelData.title + " · " + benefit.modelData.detail
                                                   : benefit.modelData.title
                    color: card.theme.ink2
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }

    Row {
        x: 18
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        spacing: 3

        Text {
            id: priceText

            textFormat: Text.PlainText
            text: "¥" + card.priceText
            Accessible.role: Accessible.StaticText
            Accessible.name: text + RechargeLogic.productUnit(card.product, card.mode)
            color: card.theme.ink
            font.family: Fonts.latin()
            font.pixelSize: 26
            font.bold: true
        }

        Text {
            objectName: "planUnit"
            anchors.baseline: priceText.baseline
            textFormat: Text.PlainText
            text: RechargeLogic.productUnit(card.product, card.mode)
            color: card.theme.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Text {
        anchors.right: parent.right
        anchors.rightMargin: 18
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        textFormat: Text.PlainText
        text: "合计 ¥" + card.priceText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        color: card.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(12)
    }

    ClickArea {
        id: area

        anchors.fill: parent
        enabled: card.available
        // The plan and what it costs, as the card shows them.
        label: RechargeLogic.productName(card.product, card.mode) + "，¥" + card.priceText
               + RechargeLogic.productUnit(card.product, card.mode)
        lightMode: card.theme.lightMode === true
        focusRadius: 19
        role: Accessible.RadioButton
        Accessible.checkable: true
        Accessible.checked: card.selected
        onActivated: card.chosen()
    }
}
