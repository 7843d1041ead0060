import QtQuick
import QtTest
import "qrc:/qt/qml/Nimbra/shell"

// A part made from its document on first use: nothing before it is wanted, then made once with its
// properties, kept and hidden while not wanted.
Item {
    id: root

    property bool wanted: false

    QtObject {
        id: source

        objectName: "first"
    }

    FirstUse {
        id: part

        wanted: root.wanted
        document: Qt.resolvedUrl("FirstUseSample.qml")
        properties: ({ source: source })
    }

    TestCase {
        name: "FirstUse"

        function test_madeOnFirstUseAndKept() {
            compare(part.status, Loader.Null)
            compare(part.item, null)
            verify(!part.shown)

            root.wanted = true
            tryCompare(part, "status", Loader.Ready)
            const made = part.item
            compare(made.text, "first")
            verify(part.shown && made.visible)
            source.objectName = "renamed"
            compare(made.text, "renamed")

            root.wanted = false
            verify(!part.shown && !made.visible)
            compare(part.item, made)

            root.wanted = true
            compare(part.item, made)
            verify(made.visible)
        }
    }
}
