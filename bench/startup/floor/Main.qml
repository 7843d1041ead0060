import QtQuick
import QtQuick.Controls.Basic

Window {
    id: window

    // The page shown: "home" (the label and button) or "empty", an empty page created off the switch
    // the way the app creates its pages, so that a switch to it is the floor of the app's tab switches.
    property string tab: "home"
    // "[PERF] 页面切换 …" lines, in the app's words.
    property var perfLines: []

    function selectTab(name) {
        const started = Date.now()
        tab = name
        Qt.callLater(() => perfLines = perfLines.concat(
                         ["[PERF] 页面切换 tab=" + name + " next-event=" + (Date.now() - started) + "ms"]))
    }

    width: 1360
    height: 836
    visible: true
    title: "Nimbra start-up floor"

    Column {
        anchors.centerIn: parent
        spacing: 12
        visible: window.tab === "home"

        Label {
            text: "Nimbra start-up floor"
        }

        Button {
            text: "OK"
        }
    }

    Loader {
        objectName: "emptyPageLoader"
        anchors.fill: parent
        active: window.tab === "empty"
        asynchronous: true
        sourceComponent: Item {}
    }
}
