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
    readonly property string usableSource: {
        const url = String(imageSource)
        return url !== "" && Logic.isSupportedImageUrl(url) ? url : ""
    }
    readonly property bool imageShown: roundedPicture.readySource !== ""
                                       && roundedPicture.readySource === usableSource

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
        // A long label (a Chinese name) shrinks to fit the tile, then elides: never cut at both sides.
        width: tile.width - 6
        horizontalAlignment: Text.AlignHCenter
        visible: !tile.imageShown
        textFormat: Text.PlainText
        text: tile.label
        color: "#ffffff"
        elide: Text.ElideRight
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 10
        font.family: Fonts.latin()
        font.bold: true
        font.pixelSize: tile.large ? 17 : 14
    }

    // Item clipping is rectangular, so the picture is drawn through the tile's rounded outline on a
    // canvas, which also loads it off the GUI thread.
    Canvas {
        id: roundedPicture

        property string requestedSource: ""
        property string readySource: ""

        function follow(url) {
            if (requestedSource !== "" && requestedSource !== url)
                unloadImage(requestedSource)
            requestedSource = url
            readySource = url !== "" && isImageLoaded(url) ? url : ""
            if (url !== "" && readySource === "")
                loadImage(url)
            requestPaint()
        }

        objectName: "tilePicture"
        anchors.fill: parent
        Component.onCompleted: follow(tile.usableSource)
        onImageLoaded: {
            if (requestedSource !== "" && isImageLoaded(requestedSource) && !isImageError(requestedSource)) {
                readySource = requestedSource
                requestPaint()
            }
        }
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            if (!tile.imageShown)
                return
            const picture = ctx.createImageData(readySource)
            const iw = Math.max(1, picture.width)
            const ih = Math.max(1, picture.height)
            // Cover the square, keeping the picture's proportions.
            const scale = Math.max(width / iw, height / ih)
            ctx.beginPath()
            ctx.roundedRect(0, 0, width, height, tile.radius, tile.radius)
            ctx.clip()
            ctx.drawImage(readySource, (width - iw * scale) / 2, (height - ih * scale) / 2, iw * scale, ih * scale)
        }
    }

    onUsableSourceChanged: roundedPicture.follow(usableSource)
}
