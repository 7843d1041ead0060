import QtQuick
import QtQuick.Templates as T

// Where a dialog is shown: a pop-up centred on the item it is declared in, open while `wanted`. As a
// pop-up it is a tab fence, so Tab and Shift+Tab go round the dialog's own controls and never reach
// the page behind it; once it closes, the page's control that had the keyboard last gets it back. The
// page's own mask under it takes the clicks outside, so the rest of the window (the title bar, the
// resize edges) behaves as before. Qt shows pop-ups on the window's overlay, outside the scaled
// scene, so it takes the scale of the items it is declared in.
T.Popup {
    id: popup

    required property bool wanted
    // The page's control that had the keyboard last; it gets it back when the dialog closes.
    property Item returnFocus: null
    // Where the keyboard goes back to when the dialog opens from another one.
    property Item fallbackFocus: null

    function inPopup(item) {
        for (let at = item; at; at = at.parent) {
            if (at === popup.T.Overlay.overlay)
                return true
        }
        return false
    }

    function remember(item) {
        if (item && item.activeFocusOnTab && !inPopup(item))
            returnFocus = item
    }

    function restoreFocus() {
        const focused = popup.parent ? popup.parent.Window.activeFocusItem : null
        // Another dialog or a control of the page has it already.
        if (focused && (inPopup(focused) || focused.activeFocusOnTab))
            return
        const item = returnFocus
        if (item && item.visible && item.enabled)
            item.forceActiveFocus(Qt.OtherFocusReason)
    }

    modal: false
    focus: true
    padding: 0
    background: null
    // The mask and the dialog's own close button and Esc close it, as the page decides.
    closePolicy: T.Popup.NoAutoClose
    transformOrigin: T.Popup.TopLeft
    scale: {
        let product = 1
        for (let item = popup.parent; item; item = item.parent)
            product *= item.scale
        return product
    }
    // The dialog's own size: it sets its width and height, not an implicit size.
    contentWidth: contentChildren.length > 0 ? contentChildren[0].width : 0
    contentHeight: contentChildren.length > 0 ? contentChildren[0].height : 0
    implicitWidth: contentWidth
    implicitHeight: contentHeight
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: parent ? Math.round((parent.height - height) / 2) : 0

    onAboutToShow: {
        remember(parent ? parent.Window.activeFocusItem : null)
        if (!returnFocus)
            returnFocus = fallbackFocus
    }
    onWantedChanged: wanted ? open() : close()
    Component.onCompleted: {
        if (wanted)
            open()
    }
    onClosed: focusReturn.restart()

    // Once the page's controls are shown again.
    Timer {
        id: focusReturn

        interval: 0
        onTriggered: popup.restoreFocus()
    }

    Connections {
        target: popup.parent ? popup.parent.Window.window : null
        enabled: !popup.visible
        ignoreUnknownSignals: true

        function onActiveFocusItemChanged() {
            popup.remember(popup.parent.Window.activeFocusItem)
        }
    }
}
