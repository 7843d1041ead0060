pragma ComponentBehavior: Bound

import QtQuick

// The hero card's per-game backgrounds. The common games' pictures stay decoded (invisible while not
// chosen), so switching among them never decodes on the click; a game from the library gets its
// picture when it is chosen and gives it up when another is. Every known game kept decoded would cost
// about 3 MB each.
Item {
    id: backdrop

    required property var controller
    readonly property real shownOpacity: controller.dawn ? 0.72 : 0.45
    readonly property string currentId: String(controller.gameId)
    readonly property bool currentIsCommon: (controller.commonGames || []).some(g => String(g.id) === currentId)
    // What the decoded pictures cost, for the start-up benchmark.
    property int decodedCount: 0
    property real decodedBytes: 0

    function measure() {
        let count = 0
        let bytes = 0
        const images = []
        for (let i = 0; i < common.count; ++i)
            images.push(common.itemAt(i))
        images.push(chosen)
        for (const image of images) {
            if (image && image.status === Image.Ready) {
                count += 1
                bytes += image.implicitWidth * image.implicitHeight * 4
            }
        }
        decodedCount = count
        decodedBytes = bytes
    }

    component Background: Image {
        property bool shown: false

        anchors.fill: parent
        asynchronous: true
        cache: true
        fillMode: Image.PreserveAspectCrop
        sourceSize.width: 1200
        sourceSize.height: 620
        opacity: shown && status === Image.Ready ? backdrop.shownOpacity : 0
        onStatusChanged: backdrop.measure()

        Behavior on opacity {
            NumberAnimation { duration: 140 }
        }
    }

    Repeater {
        id: common

        model: backdrop.controller.commonGames
        // A removed picture still counts while it is being removed: measure once it is gone.
        onItemRemoved: remeasure.restart()

        delegate: Background {
            required property var modelData

            source: backdrop.controller.gameBackground(modelData)
            shown: String(modelData.id) === backdrop.currentId
        }
    }

    Timer {
        id: remeasure

        interval: 0
        onTriggered: backdrop.measure()
    }

    Background {
        id: chosen

        source: backdrop.currentIsCommon ? "" : backdrop.controller.gameBackground(backdrop.controller.currentGame)
        shown: true
    }
}
