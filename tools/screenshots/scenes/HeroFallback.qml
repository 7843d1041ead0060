import QtQuick
import Nimbra
import "qrc:/qt/qml/Nimbra/shell"

// The home page's hero for a game the service gives no artwork: its icon and name over the theme's
// colours, at the hero's size in a 1440×900 window.
Rectangle {
    id: scene

    property bool lightMode: false

    width: 1000
    height: 760
    color: Theme.darkBg(lightMode)

    HeroBackdrop {
        anchors.fill: parent
        dawn: scene.lightMode
        gameId: "10039"
        recordId: "10039"
        picture: ""
        fitScale: 1
        gameName: "永恒之塔"
        gameLabel: "AION"
        gameHue: 268
    }
}
