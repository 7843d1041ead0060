import QtQuick
import Nimbra

// The private mode's options: the IP type, then the regions that type is sold in.
GlassCard {
    id: card

    required property var page

    height: column.implicitHeight + 40
    lightMode: page.lightMode

    Column {
        id: column

        x: 22
        y: 20
        width: parent.width - 44
        spacing: 18

        OptionChips {
            objectName: "ipTypeChips"
            width: parent.width
            theme: card.page
            caption: "IP 类型"
            hint: "原生住宅 IP 更适合对 IP 质量要求高的游戏"
            options: card.page.ipOptions
            current: card.page.selectedIpType
            onChosen: value => card.page.selectPrivateIpType(value)
        }

        OptionChips {
            objectName: "regionChips"
            width: parent.width
            theme: card.page
            caption: "加速区服"
            hint: "选定区服后全程独享同一节点出口"
            options: card.page.availablePrivateRegionOptions
            current: card.page.selectedRegion
            onChosen: value => card.page.selectPrivateRegion(value)
        }
    }
}
