import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// The last accelerated game, one click away from being chosen again.
Rectangle {
    id: card

    required property ThemeColors theme
    property string assetRoot: "qrc:/assets"
    property var game: Logic.emptyGame()
    property bool selected: false

    readonly property string gameName: String(game.name || game.title || "")

    signal activated()

    implicitHeight: 84
    radius: 14
    color: Theme.recentFill(theme.lightMode)
    border.width: 1
    border.color: activeFocus ? theme.primary : (area.containsMouse ? Qt.alpha(theme.primary, 0.6) : theme.ink4)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: "最近加速 " + gameName
    Accessible.onPressAction: activated()
    Keys.onReturnPressed: activated()
    Keys.onEnterPressed: activated()
    Keys.onSpacePressed: activated()

    Text {
        id: caption

        x: 14
        y: 9
        textFormat: Text.PlainText
        text: "最近加速"
        color: card.theme.ink3
        font.family: Fonts.ui()
        font.pixelSize: Theme.textSize(11)
    }

    GameTile {
        id: tile

        x: 14
        anchors.top: caption.bottom
        anchors.topMargin: 6
        label: String(card.game.en || "GAME")
        hue: Number(card.game.hue) || 0
        imageSource: Logic.imageSource(card.game, card.assetRoot, "icon")
    }

    Column {
        anchors.left: tile.right
        anchors.leftMargin: 12
        anchors.right: button.left
        anchors.rightMargin: 10
        anchors.verticalCenter: tile.verticalCenter
        spacing: 3

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: card.gameName
            color: card.theme.ink
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 14
            font.bold: true
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: String(card.game.country || "") || "默认区服"
            color: card.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Rectangle {
        id: button

        objectName: "recentButton"
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: tile.verticalCenter
        width: 64
        height: 28
        radius: 14
        // A solid chip carries its label at AA: the text-strength blue under a light-theme label.
        color: card.selected ? Qt.alpha(card.theme.primary, 0.18) : Theme.primaryText(card.theme.lightMode)
        border.width: card.selected ? 1 : 0
        border.color: card.theme.primary

        Text {
            objectName: "recentButtonText"
            anchors.centerIn: parent
            textFormat: Text.PlainText
            text: card.selected ? "已选择" : "选择"
            color: card.selected ? Theme.text(card.theme.primary) : Theme.onPrimary(card.theme.lightMode)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
            font.bold: true
        }
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: card.activated()
    }

    FocusRing {
        lightMode: card.theme.lightMode
        cornerRadius: 17
    }
}
