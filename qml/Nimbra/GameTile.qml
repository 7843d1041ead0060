import QtQuick
import "Fonts.js" as Fonts
import "games/GameListLogic.js" as Logic

// The square game icon: a hue gradient with the game's short label, covered by the game's picture
// once that has loaded.
Rectangle {
    id: tile

    property string label: "LOL"
    property url imageSource
    property real hue: 222
    property bool large: false

    // Pictures the decoder cannot read keep the gradient and label instead of a blank square.
    readonly property bool imageUsable: String(imageSource) !== "" && Logic.isSupportedImageUrl(imageSource)
    readonly property bool imageShown: picture.status === Image.Ready && imageUsable

    width: large ? 56 : 42
    height: width
    radius: large ? 16 : 12
    clip: true
    gradient: Gradient {
        GradientStop { position: 0.0; color: Qt.hsla(tile.hue / 360, 0.72, 0.60, 1) }
        GradientStop { position: 1.0; color: Qt.hsla(tile.hue / 360, 0.66, 0.34, 1) }
    }

    Text {
        objectName: "tileLabel"
        anchors.centerIn: parent
        visible: !tile.imageShown
        text: tile.label
        color: "#ffffff"
        font.family: Fonts.latin()
        font.bold: true
        font.pixelSize: tile.large ? 17 : 14
    }

    // Decoded off the GUI thread at twice the tile size, so it stays sharp when the scene is scaled up.
    Image {
        id: picture

        visible: false
        asynchronous: true
        source: tile.imageUsable ? tile.imageSource : ""
        sourceSize.width: tile.width * 2
        sourceSize.height: tile.height * 2
        fillMode: Image.PreserveAspectCrop
        onStatusChanged: roundedPicture.requestPaint()
    }

    // Item clipping is rectangular; the picture is drawn through the tile's rounded outline instead.
    Canvas {
        id: roundedPicture

        objectName: "tilePicture"
        anchors.fill: parent
        visible: tile.imageShown
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            if (!tile.imageShown)
                return
            const side = Math.min(picture.implicitWidth, picture.implicitHeight)
            ctx.beginPath()
            ctx.roundedRect(0, 0, width, height, tile.radius, tile.radius)
            ctx.clip()
            ctx.drawImage(picture, (picture.implicitWidth - side) / 2, (picture.implicitHeight - side) / 2, side,
                          side, 0, 0, width, height)
        }
    }
}
