import QtQuick
import Nimbra
import "../shell"
import "../Fonts.js" as Fonts

// Opening a team: line, size and region, then "确认开团". Only a leader can press it.
Column {
    id: section

    required property ThemedScope theme
    // The entry's lines and sizes and the chosen line's regions, as choices.
    property var lines: []
    property var sizes: []
    property var regions: []
    property bool isLeader: false
    property bool busy: false
    property string selectedLine: ""
    property string selectedRegion: ""
    property int selectedSize: 0

    signal lineChosen(string value)
    signal regionChosen(string value)
    signal sizeChosen(int size)
    signal createRequested()

    spacing: 16

    Column {
        width: parent.width
        spacing: 6

        Text {
            textFormat: Text.PlainText
            text: "配置新的团长团"
            color: section.theme.ink
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: section.isLeader ? "选择线路、人数和地区后创建团队。开团本身不收费，也不占成员席位。" : "当前账号暂无团长资格"
            color: Theme.text(section.isLeader ? section.theme.ink3 : section.theme.accent)
            wrapMode: Text.Wrap
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }

        Text {
            visible: !section.isLeader
            width: parent.width
            textFormat: Text.PlainText
            text: "服务端返回 is_leader=true 后才会开放开团按钮。"
            color: section.theme.ink3
            wrapMode: Text.Wrap
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    ChipGroup {
        width: parent.width
        theme: section.theme
        caption: "线路"
        choices: section.lines
        selectedValue: section.selectedLine
        onChosen: value => section.lineChosen(value)
    }

    ChipGroup {
        width: parent.width
        theme: section.theme
        caption: "人数"
        suffix: "人"
        choices: section.sizes
        selectedValue: section.selectedSize > 0 ? String(section.selectedSize) : ""
        onChosen: value => section.sizeChosen(Number(value))
    }

    ChipGroup {
        width: parent.width
        theme: section.theme
        caption: "地区"
        choices: section.regions
        selectedValue: section.selectedRegion
        onChosen: value => section.regionChosen(value)
    }

    DialogButton {
        objectName: "createTeamButton"
        enabled: section.isLeader && !section.busy
        opacity: enabled ? 1 : 0.45
        theme: ThemeColors { lightMode: section.theme.lightMode }
        text: section.busy ? "正在创建…" : "确认开团"
        onActivated: section.createRequested()
    }
}
