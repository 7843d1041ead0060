import QtQuick

// The region and mode menus of the home page's selectors, each made on its first opening, with the
// layer that closes them on a click anywhere else.
Item {
    id: menus

    required property var controller
    required property var navigation
    required property var home

    // Any click outside an open region or mode menu closes both.
    MouseArea {
        anchors.fill: parent
        visible: menus.controller.serverMenu || menus.controller.modeMenu
        onClicked: {
            menus.controller.serverMenu = false
            menus.controller.modeMenu = false
        }
    }

    FirstUse {
        id: regionMenu

        x: shown ? menus.navigation.popupX(menus.home.regionSelector) : 0
        y: shown ? menus.navigation.popupY(menus.home.regionSelector, height) : 0
        wanted: menus.controller.serverMenu
        // Inline components reach the ids around them; Qt 6.4's qmllint follows that only in bound
        // components, which FirstUse cannot make.
        // qmllint disable unqualified
        sourceComponent: PopupMenu {
            width: 205
            height: 210
            lightMode: menus.controller.dawn
            accessibleName: "区服"
            rows: menus.navigation.regionRows(menus.controller.currentGame)
            current: menus.controller.server
            onChosen: row => menus.navigation.chooseServer(row.title)
        }
        // qmllint enable unqualified
    }

    FirstUse {
        id: modeMenu

        x: shown ? menus.navigation.popupX(menus.home.modeSelector) : 0
        y: shown ? menus.navigation.popupY(menus.home.modeSelector, height) : 0
        wanted: menus.controller.modeMenu
        // qmllint disable unqualified
        sourceComponent: PopupMenu {
            width: 170
            height: 112
            lightMode: menus.controller.dawn
            accessibleName: "模式"
            rows: menus.navigation.modeRows
            current: menus.controller.mode
            onChosen: row => menus.navigation.chooseMode(row.title)
        }
        // qmllint enable unqualified
    }
}
