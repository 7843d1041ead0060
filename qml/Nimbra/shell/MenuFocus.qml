import QtQuick

// The keyboard of a menu the window shows and hides: shown, it remembers the control that had the
// keyboard and says `opened` for the menu to take it; hidden with the keyboard inside, that control
// gets it back (Qt 6.4 leaves the focus on a hidden item, where keys would go nowhere).
Item {
    id: keeper

    required property Item menu
    property Item returnFocus: null

    signal opened()

    function holds(item) {
        for (let at = item; at; at = at.parent) {
            if (at === keeper.menu)
                return true
        }
        return false
    }

    visible: false

    Connections {
        target: keeper.menu

        function onVisibleChanged() {
            const focused = keeper.menu.Window.activeFocusItem
            if (keeper.menu.visible) {
                keeper.returnFocus = focused && !keeper.holds(focused) ? focused : null
                keeper.opened()
            } else if (focused && keeper.holds(focused)) {
                if (keeper.returnFocus && keeper.returnFocus.visible && keeper.returnFocus.enabled)
                    keeper.returnFocus.forceActiveFocus(Qt.PopupFocusReason)
                else
                    focused.focus = false
            }
        }
    }
}
