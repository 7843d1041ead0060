import QtQuick
import Nimbra

// The four pages. The library and the membership page exist only while their tab shows and are
// created off the click; the settings page is made when it first shows. Only the home page's
// documents are loaded at start; the others' are loaded in the background after the first frame.
Item {
    id: area

    required property AccelerationSession session
    required property string tab
    required property bool dawn
    required property string assetRoot
    required property real fitScale
    // The switches of the settings page.
    required property bool smartRoute
    required property bool reconnect
    required property bool autoStart
    // The control card's plain values: the user's choices and which of its menus or dialogs is open.
    required property string mode
    required property bool serverMenuOpen
    required property bool routeDialogOpen
    required property bool modeMenuOpen
    required property bool selectorsActive
    readonly property size designPage: Qt.size(1218, 716)
    property real vipLoaderStartedMs: 0

    signal libraryRequested()
    signal dawnChosen(bool dawn)
    signal preferenceToggled(string key, bool on)
    signal loginRequested()
    signal serverMenuRequested()
    signal routeDialogRequested()
    signal modeMenuRequested()
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
        visible: area.tab === "home"
        session: area.session
        dawn: area.dawn
        assetRoot: area.assetRoot
        fitScale: area.fitScale
        mode: area.mode
        serverMenuOpen: area.serverMenuOpen
        routeDialogOpen: area.routeDialogOpen
        modeMenuOpen: area.modeMenuOpen
        selectorsActive: area.selectorsActive
        onLibraryRequested: area.libraryRequested()
        onServerMenuRequested: area.serverMenuRequested()
        onRouteDialogRequested: area.routeDialogRequested()
        onModeMenuRequested: area.modeMenuRequested()
    }

    Loader {
        id: libraryLoader

        // Found by name by the start-up benchmark, which times it.
        objectName: "libraryLoader"
        width: area.designPage.width
        height: area.designPage.height
        active: area.tab === "games"
        asynchronous: true
        // By address: the page's documents are loaded when the tab first opens, not at start.
        Component.onCompleted: setSource(area.libraryDocument, { session: area.session })
    }

    // The membership page, made afresh each time its tab opens: leaving the tab ends its dialogs and
    // the polling of a payment in progress (the order stays pending on the service).
    Loader {
        id: vipLoader

        // Found by name by the benchmark and the screenshots.
        objectName: "vipLoader"
        anchors.fill: parent
        active: area.tab === "vip"
        asynchronous: true
        Component.onCompleted: setSource(area.membershipDocument, {
            session: area.session,
            dawn: Qt.binding(() => area.dawn)
        })
        onActiveChanged: {
            if (!active)
                return
            area.vipLoaderStartedMs = Date.now()
            area.session.appendAppLog("[PERF] 会员页 Loader 开始", false, false)
        }
        onStatusChanged: {
            if (status === Loader.Ready || status === Loader.Error)
                area.session.appendAppLog("[PERF] 会员页 Loader status=" + status + " elapsed="
                                          + (Date.now() - area.vipLoaderStartedMs) + "ms",
                                          status === Loader.Error, false)
        }
    }

    // What the membership page asks for while it is shown.
    Connections {
        target: vipLoader.item
        ignoreUnknownSignals: true

        function onLoginRequested() { area.loginRequested() }
    }

    FirstUse {
        id: settingsPage

        anchors.fill: parent
        wanted: area.tab === "settings"
        document: Qt.resolvedUrl("SettingsPage.qml")
        // Bound, not copied: the page is made once and kept.
        properties: ({
            dawn: Qt.binding(() => area.dawn),
            assetRoot: area.assetRoot,
            smartRoute: Qt.binding(() => area.smartRoute),
            reconnect: Qt.binding(() => area.reconnect),
            autoStart: Qt.binding(() => area.autoStart)
        })
    }

    // What the settings page asks for (it exists only once first shown).
    Connections {
        target: settingsPage.item
        ignoreUnknownSignals: true

        function onDawnChosen(dawn) { area.dawnChosen(dawn) }
        function onPreferenceToggled(key, on) { area.preferenceToggled(key, on) }
    }
}
