import QtQuick
import Nimbra

// The four pages. The library and the membership page exist only while their tab shows and are
// created off the click; the settings page is made when it first shows. Only the home page's
// documents are loaded at start; the others' are loaded in the background after the first frame.
Item {
    id: area

    required property var controller
    readonly property alias home: homePage
    readonly property int vipLoaderStatus: vipLoader.status
    readonly property alias vipPage: vipLoader.item
    readonly property url libraryDocument: Qt.resolvedUrl("LibraryPart.qml")
    readonly property url membershipDocument: Qt.resolvedUrl("MembershipPart.qml")
    // What the pages made later are made from, for loading in the background after the first frame.
    readonly property var laterDocuments: [libraryDocument, membershipDocument, settingsPage.document]

    HomePage {
        id: homePage

        anchors.fill: parent
        visible: area.controller.tab === "home"
        controller: area.controller
        session: area.controller.session
    }

    Loader {
        id: libraryLoader

        // Found by name by the start-up benchmark, which times it.
        objectName: "libraryLoader"
        width: area.controller.designPageWidth
        height: area.controller.designPageHeight
        active: area.controller.tab === "games"
        asynchronous: true
        // By address: the page's documents are loaded when the tab first opens, not at start.
        Component.onCompleted: setSource(area.libraryDocument, { controller: area.controller })
    }

    // The membership page, made afresh each time its tab opens: leaving the tab ends its dialogs and
    // the polling of a payment in progress (the order stays pending on the service).
    Loader {
        id: vipLoader

        // Found by name by the benchmark and the screenshots.
        objectName: "vipLoader"
        anchors.fill: parent
        active: area.controller.tab === "vip"
        asynchronous: true
        Component.onCompleted: setSource(area.membershipDocument, { controller: area.controller })
        onActiveChanged: {
            if (!active)
                return
            area.controller.vipLoaderStartedMs = Date.now()
            area.controller.appendAppLog("[PERF] 会员页 Loader 开始", false, false)
        }
        onStatusChanged: {
            if (status === Loader.Ready || status === Loader.Error)
                area.controller.appendAppLog("[PERF] 会员页 Loader status=" + status + " elapsed="
                                             + (Date.now() - area.controller.vipLoaderStartedMs) + "ms",
                                             status === Loader.Error, false)
        }
    }

    FirstUse {
        id: settingsPage

        anchors.fill: parent
        wanted: area.controller.tab === "settings"
        document: Qt.resolvedUrl("SettingsPage.qml")
        properties: ({ controller: area.controller })
    }
}
