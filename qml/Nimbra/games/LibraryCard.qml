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

    property bool lightMode: false
    property color ink: lightMode ? "#182338" : "#e6eefa"
    property color ink3: lightMode ? "#75182338" : "#75e6eefa"
    property color ink4: lightMode ? "#42182338" : "#42e6eefa"
    property color primary: lightMode ? "#2f7bf2" : "#50aaff"
    property string assetRoot: "qrc:/assets"
    property string selectedGameId: ""

    readonly property bool selected: selectedGameId !== "" && Logic.gameId(modelData) === selectedGameId
    readonly property string gameName: String(modelData.name || modelData.title || "")
    readonly property int pictureHeight: 92

    signal activated(var game)

    height: 164
    radius: 16
    color: lightMode ? "#52ffffff" : "#16ffffff"
    border.width: 1
    border.color: activeFocus || selected ? primary : (area.containsMouse ? Qt.alpha(primary, 0.6) : ink4)
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: gameName
    Accessible.selected: selected
    Accessible.onPressAction: activated(modelData)
    Keys.onReturnPressed: activated(modelData)
    Keys.onEnterPressed: activated(modelData)
    Keys.onSpacePressed: activated(modelData)

    // Decoded once at a fixed size and cached, off the GUI thread.
    Image {
        id: background

        visible: false
        asynchronous: true
        cache: true
        source: Logic.imageSource(card.modelData, card.assetRoot, "background")
        sourceSize.width: 720
        sourceSize.height: 360
        onStatusChanged: backdrop.requestPaint()
    }

    // The picture is clipped to the card's rounded top and faded out towards the text below.
    Canvas {
        id: backdrop

        objectName: "cardBackdrop"
        x: 1
        y: 1
        width: parent.width - 2
        height: card.pictureHeight
        visible: background.status === Image.Ready
        onWidthChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            if (background.status !== Image.Ready || width <= 0)
                return
            const r = card.radius - 1
            ctx.beginPath()
            ctx.moveTo(0, height)
            ctx.lineTo(0, r)
            ctx.arcTo(0, 0, r, 0, r)
            ctx.lineTo(width - r, 0)
            ctx.arcTo(width, 0, width, r, r)
            ctx.lineTo(width, height)
            ctx.closePath()
            ctx.clip()
            // Cover the area, keeping the picture's proportions.
            const iw = background.implicitWidth
            const ih = background.implicitHeight
            const scale = Math.max(width / iw, height / ih)
            const sw = width / scale
            const sh = height / scale
            ctx.drawImage(background, (iw - sw) / 2, (ih - sh) / 2, sw, sh, 0, 0, width, height)
            const fade = ctx.createLinearGradient(0, 0, 0, height)
            fade.addColorStop(0, "rgba(0,0,0,0)")
            fade.addColorStop(0.45, "rgba(0,0,0,0.15)")
            fade.addColorStop(1, "rgba(0,0,0,1)")
            ctx.globalCompositeOperation = "destination-out"
            ctx.fillStyle = fade
            ctx.fillRect(0, 0, width, height)
        }
    }

    GameTile {
        id: tile

        x: 16
        y: card.pictureHeight - 26
        width: 44
        height: 44
        label: String(card.modelData.en || "GAME")
        hue: Number(card.modelData.hue) || 0
        imageSource: Logic.imageSource(card.modelData, card.assetRoot, "icon")
        border.width: 2
        border.color: card.lightMode ? "#e9eff7" : "#0c1426"
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
            text: card.gameName
            color: card.ink
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 15
            font.bold: true
        }

        Text {
            width: parent.width
            text: String(card.modelData.vendor || "")
            color: card.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 12
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
        color: card.selected ? card.primary : "transparent"
        border.width: card.selected ? 0 : 1
        border.color: card.ink4

        Icon {
            anchors.centerIn: parent
            width: 16
            height: 16
            name: "arrow"
            strokeWidth: 2.2
            color: card.selected ? "#ffffff" : card.ink3
        }
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: card.activated(card.modelData)
    }
}
