import QtQuick

// The region and mode menus of the home page's selectors, each made on its first opening, with the
// layer that closes them on a click anywhere else.
Item {
    id: menus

    required property WindowNavigation navigation
    required property HomePage home
    required property bool dawn
    required property bool serverMenuOpen
    required property bool modeMenuOpen
    // What the menus mark as chosen and, for the region menu, the chosen game's regions.
    required property list<string> servers
    required property string server
    required property string mode

    // A click outside the open menu.
    signal dismissed()

    // Any click outside an open region or mode menu closes both.
    MouseArea {
        anchors.fill: parent
        visible: menus.serverMenuOpen || menus.modeMenuOpen
        onClicked: menus.dismissed()
    }

    FirstUse {
        id: regionMenu

        x: shown ? menus.navigation.popupX(menus.home.regionSelector) : 0
        y: shown ? menus.navigation.popupY(menus.home.regionSelector, height) : 0
        wanted: menus.serverMenuOpen
        // Inline components reach the ids around them; Qt 6.4's qmllint follows that only in bound
        // components, which FirstUse cannot make.
        // qmllint disable unqualified
        sourceComponent: PopupMenu {
            width: 205
            // As tall as its regions (33 px rows inside 6 px margins), scrolling past six.
            height: Math.min(6, Math.max(1, menus.servers.length)) * 33 + 12
            lightMode: menus.dawn
            accessibleName: "区服"
            rows: menus.navigation.regionRows(menus.servers)
            current: menus.server
            onChosen: row => menus.navigation.chooseServer(row.title)
        }
        // qmllint enable unqualified
    }

    FirstUse {
        id: modeMenu

        x: shown ? menus.navigation.popupX(menus.home.modeSelector) : 0
        y: shown ? menus.navigation.popupY(menus.home.modeSelector, height) : 0
        wanted: menus.modeMenuOpen
        // qmllint disable unqualified
        sourceComponent: PopupMenu {
            width: 170
            height: 112
            lightMode: menus.dawn
            accessibleName: "模式"
            rows: menus.navigation.modeRows
            current: menus.mode
            onChosen: row => menus.navigation.chooseMode(row.title)
        }
        // qmllint enable unqualified
    }
}
