import QtQuick
import QtQuick.Window
import Nimbra
import "WindowLogic.js" as WindowLogic

// The account menu and the modal dialogs over their dimming mask. The window says which is open; a
// dialog takes the keyboard focus when it opens, so Tab moves through its controls.
Item {
    id: dialogs

    required property var controller
    required property real statusBarTop
    // Each is made on its first opening; null until then.
    readonly property var signIn: authModal.item
    // The open modal dialog, the topmost first, as Esc closes them.
    readonly property var openDialog: controller.logDialog ? logDialog.item
                                                          : controller.nodeDialog ? routeDialog.item
                                                                                  : controller.loginDialog ? authModal.item
                                                                                                           : null
    // What the dialogs are made from, for loading in the background after the first frame.
    readonly property var laterDocuments: [routeDialog.document, authModal.document, logDialog.document]
    // The page's control that had the keyboard last; it gets it back when the dialogs close.
    property Item pageFocus: null

    function holds(box, item) {
        for (let at = item; at; at = at.parent) {
            if (at === box)
                return true
        }
        return false
    }

    // Tab and Backtab go round the open dialog's own controls and never reach the page behind it.
    function cycleFocus(forward) {
        const box = openDialog
        const window = dialogs.Window.window
        if (!box || !window)
            return
        let item = holds(box, window.activeFocusItem) ? window.activeFocusItem : box
        // The chain is a ring over the whole window; it comes back into the dialog within one round.
        for (let step = 0; step < 2000; ++step) {
            item = item.nextItemInFocusChain(forward)
            if (!item)
                return
            if (holds(box, item) && item !== box) {
                item.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
                return
            }
        }
    }

    onOpenDialogChanged: {
        if (openDialog === null)
            focusReturn.restart()
    }

    // After the page's controls are shown again.
    Timer {
        id: focusReturn

        interval: 0
        onTriggered: {
            const item = dialogs.pageFocus
            if (dialogs.openDialog === null && item && item.visible && item.enabled)
                item.forceActiveFocus(Qt.OtherFocusReason)
        }
    }

    Connections {
        target: dialogs.Window.window

        function onActiveFocusItemChanged() {
            const item = dialogs.Window.window.activeFocusItem
            if (item && item.activeFocusOnTab && !dialogs.holds(dialogs, item))
                dialogs.pageFocus = item
        }
    }

    Shortcut {
        sequence: "Tab"
        enabled: dialogs.openDialog !== null
        onActivated: dialogs.cycleFocus(true)
    }

    Shortcut {
        sequences: ["Backtab", "Shift+Backtab", "Shift+Tab"]
        enabled: dialogs.openDialog !== null
        onActivated: dialogs.cycleFocus(false)
    }

    // A click anywhere else closes the account menu and still reaches the control underneath.
    MouseArea {
        anchors.fill: parent
        visible: dialogs.controller.accountMenu
        onPressed: mouse => {
            dialogs.controller.accountMenu = false
            mouse.accepted = false
        }
    }

    FirstUse {
        id: accountMenu

        readonly property var anchorItem: dialogs.controller.accountMenuAnchor
        readonly property var position: {
            if (!shown || !anchorItem)
                return { x: 8, y: 8 }
            const at = anchorItem.mapToItem(dialogs, 0, 0)
            return WindowLogic.accountMenuPosition(dialogs.controller.accountMenuSource, at.x, at.y, anchorItem.width,
                                                   anchorItem.height, width, height, dialogs.width,
                                                   dialogs.statusBarTop)
        }

        x: position.x
        y: position.y
        wanted: dialogs.controller.accountMenu
        // Inline components reach the ids around them; Qt 6.4's qmllint follows that only in bound
        // components, which FirstUse cannot make.
        // qmllint disable unqualified
        sourceComponent: AccountMenu {
            userName: dialogs.controller.userName
            vipNum: dialogs.controller.vipNum
            vipType: dialogs.controller.vipType
            vipExpiryText: dialogs.controller.vipExpiryText
            points: dialogs.controller.points
            lightMode: dialogs.controller.dawn
            ink: dialogs.controller.ink
            ink2: dialogs.controller.ink2
            ink3: dialogs.controller.ink3
            ink4: dialogs.controller.ink4
            primary: dialogs.controller.primary
            accent: dialogs.controller.accent
            edge: dialogs.controller.edge
            onSignOutRequested: dialogs.controller.signOut()
        }
        // qmllint enable unqualified
    }

    // A click on the mask closes the route dialog when it falls outside it, else the sign-in or log
    // dialog; clicks on a dialog itself never reach it.
    Rectangle {
        anchors.fill: parent
        visible: dialogs.controller.modalOpen
        color: Theme.scrim(dialogs.controller.dawn)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
            onClicked: {
                const c = dialogs.controller
                if (c.nodeDialog) {
                    c.nodeDialog = false
                } else {
                    c.loginDialog = false
                    c.logDialog = false
                }
            }
        }
    }

    FirstUse {
        id: routeDialog

        anchors.centerIn: parent
        wanted: dialogs.controller.nodeDialog
        document: Qt.resolvedUrl("RouteDialogPart.qml")
        properties: ({ controller: dialogs.controller })
    }

    FirstUse {
        id: logDialog

        anchors.centerIn: parent
        wanted: dialogs.controller.logDialog
        document: Qt.resolvedUrl("LogDialogPart.qml")
        properties: ({ controller: dialogs.controller, area: dialogs })
    }

    FirstUse {
        id: authModal

        anchors.centerIn: parent
        wanted: dialogs.controller.loginDialog
        document: Qt.resolvedUrl("SignInPart.qml")
        properties: ({ controller: dialogs.controller })
    }
}
