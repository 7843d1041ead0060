import QtQuick
import "qrc:/qt/qml/Nimbra/shell"

// The account menu for a member (left) and for a signed-in user without membership (right).
Rectangle {
    id: scene

    property bool lightMode: false

    width: 2 * 252 + 3 * 24
    height: 207 + 48
    color: lightMode ? "#e9eff7" : "#070c18"

    Row {
        x: 24
        y: 24
        spacing: 24

        AccountMenu {
            lightMode: scene.lightMode
            userName: "138****8000"
            vipNum: 1024
            vipType: "月卡会员"
            vipExpiryText: "2025-06-30 到期 · 剩余 41 天"
            points: 320
        }

        AccountMenu {
            lightMode: scene.lightMode
            userName: "139****0001"
        }
    }
}
