import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/shell"

// The hero's pictures: the current one decoded at the card's size, recent ones kept within the budget,
// and a game shown again keeps the image it had.
Item {
    id: root

    width: 430
    height: 360

    QtObject {
        id: host

        property var currentGame: null
    }

    HeroBackdrop {
        id: backdrop

        anchors.fill: parent
        dawn: false
        gameId: host.currentGame ? host.currentGame.id : ""
        recordId: gameId
        picture: "qrc:/assets/bgs/" + gameId + ".jpg"
        fitScale: 1
    }

    TestCase {
        name: "HeroBackdrop"
        when: windowShown

        function show(id) {
            host.currentGame = { id: id }
            const image = shownImage()
            verify(image !== null, id)
            tryCompare(image, "status", Image.Ready)
            return image
        }

        function shownImage() {
            for (let i = 0; i < backdrop.children.length; ++i) {
                if (backdrop.children[i].shown)
                    return backdrop.children[i]
            }
            return null
        }

        function test_budget() {
            // About one picture of this card's size.
            backdrop.budgetBytes = 1.5 * 1024 * 1024
            const first = show("jx3")
            // Decoded to cover the card (1200 x 620 files), not at the file's size.
            verify(first.implicitHeight >= root.height && first.implicitHeight <= backdrop.decodeHeight,
                   first.implicitHeight)
            show("cs2")
            // Shown again within the budget: the same item, already decoded.
            host.currentGame = { id: "jx3" }
            compare(shownImage(), first)
            compare(first.status, Image.Ready)
            show("apex")
            show("dnf")
            // One picture besides the current one fits the budget.
            tryCompare(backdrop, "decodedCount", 2)
            verify(backdrop.decodedBytes <= backdrop.budgetBytes + backdrop.bytesOf(shownImage()))
            verify(backdrop.slots.some(slot => slot && slot.gameId === "apex"))
            verify(!backdrop.slots.some(slot => slot && slot.gameId === "cs2"))
        }
    }
}
