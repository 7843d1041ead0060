import QtQuick

// A menu, dialog or page made the first time it is wanted and kept from then on: it costs nothing
// before the first frame and keeps its state (a half-typed number, the log's place) between
// openings. Given a `document`, the part is made from that address, so neither it nor the documents
// it uses are even loaded before then; `properties` are what it is made with. The loader is hidden
// while the part is being made and shown once it exists, so the part's handlers for being shown run
// the first time too.
Loader {
    id: part

    required property bool wanted
    property url document
    property var properties: ({})
    readonly property bool shown: wanted && status === Loader.Ready

    function make() {
        if (String(document) !== "" && String(source) === "")
            setSource(document, properties)
        active = true
    }

    visible: shown
    active: false
    onWantedChanged: {
        if (wanted)
            make()
    }
    Component.onCompleted: {
        if (wanted)
            make()
    }
}
