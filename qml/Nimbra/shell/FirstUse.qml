import QtQuick

// A menu or dialog made the first time it is wanted and kept from then on: it costs nothing before
// the first frame and keeps its state (a half-typed number, the log's place) between openings. The
// item is made hidden and shown once it exists, so its handlers for being shown run the first time too.
Loader {
    id: part

    required property bool wanted
    // What the item's visible follows: false while the item is being made.
    readonly property bool shown: wanted && status === Loader.Ready

    active: false
    onWantedChanged: {
        if (wanted)
            active = true
    }
    Component.onCompleted: {
        if (wanted)
            active = true
    }
}
