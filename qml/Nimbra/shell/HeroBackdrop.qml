pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The hero card's per-game backgrounds, decoded at the size the card shows them. The current game's
// picture is decoded when it is chosen; the pictures of the games shown just before stay decoded
// (hidden) while they fit a budget of decoded bytes, so switching back and forth never decodes on the
// click, and memory does not grow with the number of games. A game without a picture (or whose picture
// cannot be read) gets the theme's colours with its icon and name large instead.
Item {
    id: backdrop

    required property bool dawn
    // The chosen game's id, and the id and background picture of the record the window has for it
    // (which can lag behind the id while the record is looked up): the picture is shown once the two
    // ids agree.
    required property string gameId
    required property string recordId
    required property string picture
    // What the fallback shows: the game's name, its short label and hue, and its icon picture.
    property string gameName: ""
    property string gameLabel: ""
    property real gameHue: 222
    property string iconPicture: ""
    // The current game's picture could not be read: the fallback stands in for it.
    property bool pictureFailed: false
    // The window's scale of the design, for decoding at the size shown.
    required property real fitScale
    readonly property real shownOpacity: dawn ? 0.72 : 0.45
    readonly property string currentId: gameId
    // Decoded bytes kept for pictures other than the current one.
    property real budgetBytes: 8 * 1024 * 1024
    // Device pixels of the card, rounded up to a step so that a resize by a few pixels decodes nothing.
    readonly property real decodeScale: Math.max(1, fitScale || 1) * (Screen.devicePixelRatio || 1)
    readonly property int decodeWidth: Math.ceil(width * decodeScale / 128) * 128
    readonly property int decodeHeight: Math.ceil(height * decodeScale / 128) * 128
    // Fixed slots, so that a picture stays with its image item while it is kept: each null or
    // { gameId, picture, used }, used counting up as games are shown.
    property var slots: [null, null, null, null]
    property int useCount: 0
    // What the decoded pictures cost, for the start-up benchmark.
    property int decodedCount: 0
    property real decodedBytes: 0

    function bytesOf(image) {
        return image && image.status === Image.Ready ? image.implicitWidth * image.implicitHeight * 4 : 0
    }

    function measure() {
        let count = 0
        let bytes = 0
        for (let i = 0; i < pictures.count; ++i) {
            const size = bytesOf(pictures.itemAt(i))
            count += size > 0 ? 1 : 0
            bytes += size
        }
        decodedCount = count
        decodedBytes = bytes
        updateShown()
    }

    function updateShown() {
        let failed = false
        for (let i = 0; i < pictures.count; ++i) {
            const image = pictures.itemAt(i) as Image
            if (image && image.status === Image.Error && slots[i] && slots[i].gameId === currentId)
                failed = true
        }
        pictureFailed = failed
    }

    // Gives the current game a slot (its own, a free one or the one shown longest ago) and empties the
    // other slots past the budget, the longest unseen first; a picture not yet decoded counts at the size
    // it will have. A slot that keeps its picture keeps its decoded image.
    function keepCurrent() {
        if (currentId === "" || recordId !== currentId || width <= 0)
            return
        const next = slots.slice()
        let at = next.findIndex(slot => slot && slot.gameId === currentId)
        if (at < 0)
            at = next.findIndex(slot => !slot)
        if (at < 0)
            at = next.reduce((oldest, slot, i) => slot.used < next[oldest].used ? i : oldest, 0)
        useCount += 1
        next[at] = { gameId: currentId, picture: picture, used: useCount }
        const others = next.map((slot, i) => i).filter(i => i !== at && next[i])
        others.sort((a, b) => next[b].used - next[a].used)
        const estimate = decodeWidth * decodeHeight * 4
        let spent = 0
        for (const i of others) {
            const image = pictures.itemAt(i)
            spent += image && image.status === Image.Ready ? bytesOf(image) : estimate
            if (spent > budgetBytes)
                next[i] = null
        }
        slots = next
    }

    onCurrentIdChanged: {
        keepCurrent()
        updateShown()
    }
    onSlotsChanged: updateShown()
    onWidthChanged: keepCurrent()
    Component.onCompleted: keepCurrent()

    onRecordIdChanged: keepCurrent()
    onPictureChanged: {
        keepCurrent()
        updateShown()
    }

    Item {
        id: fallback

        objectName: "heroFallback"
        anchors.fill: parent
        visible: backdrop.currentId !== "" && (backdrop.picture === "" || backdrop.pictureFailed)

        Rectangle {
            anchors.fill: parent
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: Qt.alpha(Theme.primary(backdrop.dawn), backdrop.dawn ? 0.16 : 0.22) }
                GradientStop { position: 0.6; color: Qt.alpha(Theme.neon(backdrop.dawn), 0.06) }
                GradientStop { position: 1; color: "transparent" }
            }
        }

        // The game's own colour, as a soft halo behind its icon, under the feature chips.
        Rectangle {
            x: nameRow.x + heroTile.width / 2 - width / 2
            y: nameRow.y + heroTile.height / 2 - height / 2
            width: 360
            height: width
            radius: width / 2
            gradient: Gradient {
                GradientStop { position: 0; color: Qt.hsla(backdrop.gameHue / 360, 0.7, 0.55, backdrop.dawn ? 0.18 : 0.22) }
                GradientStop { position: 1; color: "transparent" }
            }
        }

        Row {
            id: nameRow

            x: 48
            y: 104
            width: parent.width - 96
            spacing: 24

            GameTile {
                id: heroTile

                width: 112
                height: 112
                radius: 30
                large: true
                label: backdrop.gameLabel !== "" ? backdrop.gameLabel : backdrop.gameName
                hue: backdrop.gameHue
                imageSource: backdrop.iconPicture
            }

            Text {
                objectName: "heroName"
                anchors.verticalCenter: heroTile.verticalCenter
                width: parent.width - heroTile.width - parent.spacing
                textFormat: Text.PlainText
                text: backdrop.gameName
                color: Theme.ink(backdrop.dawn)
                elide: Text.ElideRight
                maximumLineCount: 2
                wrapMode: Text.Wrap
                font.family: Fonts.ui()
                font.pixelSize: 40
                font.bold: true
            }
        }
    }

    Repeater {
        id: pictures

        model: backdrop.slots.length
        // A removed picture still counts while it is being removed: measure once it is gone.
        onItemRemoved: remeasure.restart()

        delegate: Image {
            required property int index
            readonly property var slot: backdrop.slots[index]
            readonly property bool shown: slot !== null && slot.gameId === backdrop.currentId

            anchors.fill: parent
            asynchronous: true
            // The kept pictures are this item's own; the shared cache would hold every one ever shown.
            cache: false
            fillMode: Image.PreserveAspectCrop
            sourceSize.width: backdrop.decodeWidth
            sourceSize.height: backdrop.decodeHeight
            source: slot ? slot.picture : ""
            opacity: shown && status === Image.Ready ? backdrop.shownOpacity : 0
            onStatusChanged: backdrop.measure()

            Behavior on opacity {
                NumberAnimation { duration: 140 }
            }
        }
    }

    Timer {
        id: remeasure

        interval: 0
        onTriggered: backdrop.measure()
    }
}
