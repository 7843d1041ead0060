import QtQuick
import "qrc:/qt/qml/Nimbra/shell"

// The question a game click asks while another game is accelerated, over the dimming mask.
Rectangle {
    id: scene

    property bool lightMode: false

    width: 420 + 2 * 24
    height: 210 + 2 * 24
    color: lightMode ? "#e9eff7" : "#070c18"

    Rectangle {
        anchors.fill: parent
        color: scene.lightMode ? "#52000000" : "#85000000"
    }

    SwitchGameDialog {
        x: 24
        y: 24
        lightMode: scene.lightMode
        fromName: "英雄联盟"
        toName: "永恒之塔"
    }
}
