pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Nimbra
import "../Fonts.js" as Fonts

// A drop-down of a team's games ({value, text, available}); games that cannot be chosen stay listed,
// dimmed.
ComboBox {
    id: box

    required property ThemedScope theme
    property var choices: []
    property string selectedValue: ""
    property string placeholder: "请选择游戏"

    signal chosen(string value)

    function indexOfValue(value) {
        for (let i = 0; i < choices.length; ++i) {
            if (choices[i].value === value)
                return i
        }
        return -1
    }

    implicitHeight: 40
    model: choices
    textRole: "text"
    currentIndex: indexOfValue(selectedValue)
    displayText: currentIndex >= 0 ? currentText : placeholder
    Accessible.name: "加速游戏"
    onActivated: index => {
        if (index >= 0 && index < choices.length && choices[index].available)
            chosen(choices[index].value)
    }

    background: Rectangle {
        radius: 12
        color: Theme.inputFill(box.theme.lightMode)
        border.width: 1
        border.color: box.activeFocus || box.popup.visible ? box.theme.primary : box.theme.ink4
    }

    indicator: Icon {
        x: box.width - width - 12
        y: (box.height - height) / 2
        width: 14
        height: 14
        name: "chevron"
        color: box.theme.ink3
        rotation: box.popup.visible ? 180 : 0
    }

    contentItem: Text {
        leftPadding: 14
        rightPadding: box.indicator.width + 8
        verticalAlignment: Text.AlignVCenter
        textFormat: Text.PlainText
        text: box.displayText
        color: box.currentIndex >= 0 ? box.theme.ink : box.theme.ink3
        elide: Text.ElideRight
        font.family: Fonts.ui()
        font.pixelSize: 14
    }

    delegate: ItemDelegate {
        id: row

        required property var modelData
        required property int index

        width: ListView.view ? ListView.view.width : box.width
        height: 34
        enabled: row.modelData.available
        highlighted: box.highlightedIndex === row.index
        Accessible.name: row.modelData.text

        background: Rectangle {
            color: row.highlighted ? Qt.alpha(box.theme.primary, 0.16) : "transparent"
        }

        indicator: Icon {
        x: box.width - width - 12
        y: (box.height - height) / 2
        width: 14
        height: 14
        name: "chevron"
        color: box.theme.ink3
        rotation: box.popup.visible ? 180 : 0
    }

    contentItem: Text {
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            textFormat: Text.PlainText
            text: row.modelData.text
            color: Theme.text(row.index === box.currentIndex ? box.theme.primary : box.theme.ink)
            opacity: row.modelData.available ? 1 : 0.4
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 13
        }
    }

    popup.background: Rectangle {
        radius: 10
        color: Theme.popupSurface(box.theme.lightMode)
        border.width: 1
        border.color: box.theme.edge
    }
}
