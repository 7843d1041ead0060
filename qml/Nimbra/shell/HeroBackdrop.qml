pragma ComponentBehavior: Bound

import QtQuick

// The hero card's per-game backgrounds, decoded at the size the card shows them. The current game's
// picture is decoded when it is chosen; the pictures of the games shown just before stay decoded
// (hidden) while they fit a budget of decoded bytes, so switching back and forth never decodes on the
// click, and memory does not grow with the number of games.
Item {
    id: backdrop

    required property bool dawn
    // The chosen game's id, and the id and background picture of the record the window has for it
    // (which can lag behind the id while the record is looked up): the picture is shown once the two
    // ids agree.
    required property string gameId
    required property string recordId
    required property string picture
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

    onCurrentIdChanged: keepCurrent()
    onWidthChanged: keepCurrent()
    Component.onCompleted: keepCurrent()

    onRecordIdChanged: keepCurrent()
    onPictureChanged: keepCurrent()

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
