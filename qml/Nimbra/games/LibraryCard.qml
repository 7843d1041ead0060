import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// One game of the library grid: its background picture fading into the card, tile, name, vendor and
// a round marker that fills when the game is the chosen one.
Rectangle {
    id: card

    required property var modelData
    required property int index

    required property ThemeColors theme
    property string assetRoot: "qrc:/assets"
    property string selectedGameId: ""

    readonly property bool selected: selectedGameId !== "" && Logic.gameId(modelData) === selectedGameId
    readonly property string gameName: String(modelData.name || modelData.title || "")
    readonly property int pictureHeight: 92
    // The card's surface as it appears over the page background.
    readonly property color fadeColor: Qt.tint(Theme.darkBg(theme.lightMode), color)

    signal activated(var game)

    height: 164
    radius: 16
    color: Theme.cardFill(theme.lightMode)
    border.width: 1
    border.color: activeFocus || selected ? theme.primary : (area.containsMouse ? Qt.alpha(theme.primary, 0.6) : theme.ink4)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: Logic.accessibleGameName(modelData)
    Accessible.selected: selected
    Accessible.onPressAction: activated(modelData)
    Keys.onReturnPressed: activated(modelData)
    Keys.onEnterPressed: activated(modelData)
    Keys.onSpacePressed: activated(modelData)

    // The picture sits inside the rounded outline, decoded once at a fixed size, cached and loaded off
    // the GUI thread; its lower part fades into the card.
    Image {
        id: background

        objectName: "cardBackground"
        x: 6
        y: 6
        width: parent.width - 12
        height: card.pictureHeight - 6
        asynchronous: true
        cache: true
        fillMode: Image.PreserveAspectCrop
        sourceSize.width: 720
        sourceSize.height: 360
        source: Logic.imageSource(card.modelData, card.assetRoot, "background")
        visible: status === Image.Ready
        opacity: card.theme.lightMode ? 0.9 : 0.8

        Rectangle {
            anchors.fill: parent
            gradient: Gradient {
                GradientStop { position: 0.0; color: Qt.rgba(card.fadeColor.r, card.fadeColor.g, card.fadeColor.b, 0) }
                GradientStop { position: 0.5; color: Qt.rgba(card.fadeColor.r, card.fadeColor.g, card.fadeColor.b, 0.25) }
                GradientStop { position: 1.0; color: card.fadeColor }
            }
        }
    }

    GameTile {
        id: tile

        x: 16
        y: card.pictureHeight - 24
        width: 44
        height: 44
        label: String(card.modelData.en || "GAME")
        hue: Number(card.modelData.hue) || 0
        imageSource: Logic.imageSource(card.modelData, card.assetRoot, "icon")
        border.width: 2
        border.color: Theme.iconRing(card.theme.lightMode)
    }

    Column {
        anchors.left: tile.right
        anchors.leftMargin: 12
        anchors.right: marker.left
        anchors.rightMargin: 10
        anchors.top: tile.top
        anchors.topMargin: 18
        spacing: 3

        Text {
            objectName: "cardName"
            width: parent.width
            textFormat: Text.PlainText
            text: card.gameName
            color: card.theme.ink
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: String(card.modelData.vendor || "")
            color: card.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Rectangle {
        id: marker

        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18
        width: 30
        height: 30
        radius: 15
        color: card.selected ? card.theme.primary : "transparent"
        border.width: card.selected ? 0 : 1
        border.color: card.theme.ink4

        Icon {
            anchors.centerIn: parent
            width: 16
            height: 16
            name: "arrow"
            strokeWidth: 2.2
            color: card.selected ? "#ffffff" : card.theme.ink3
        }
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: card.activated(card.modelData)
    }

    // Inside: the grid clips its cards.
    FocusRing {
        inset: 1
        cornerRadius: 15
        lightMode: card.theme.lightMode
    }
}
