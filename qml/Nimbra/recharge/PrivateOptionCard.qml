import QtQuick
import Nimbra

// The private mode's options: the IP type, then the regions that type is sold in.
GlassCard {
    id: card

    required property ThemedScope theme
    property var ipOptions: []
    property var regionOptions: []
    property string ipType: ""
    property string region: ""

    signal ipTypeChosen(string value)
    signal regionChosen(string value)

    height: column.implicitHeight + 40
    lightMode: theme.lightMode

    Column {
        id: column

        x: 22
        y: 20
        width: parent.width - 44
        spacing: 18

        OptionChips {
            objectName: "ipTypeChips"
            width: parent.width
            theme: card.theme
            caption: "IP 类型"
            hint: "原生住宅 IP 更适合对 IP 质量要求高的游戏"
            options: card.ipOptions
            current: card.ipType
            onChosen: value => card.ipTypeChosen(value)
        }

        OptionChips {
            objectName: "regionChips"
            width: parent.width
            theme: card.theme
            caption: "加速区服"
            hint: "选定区服后全程独享同一节点出口"
            options: card.regionOptions
            current: card.region
            onChosen: value => card.regionChosen(value)
        }
    }
}
