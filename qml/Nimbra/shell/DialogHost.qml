import QtQuick

// A dialog of the window as its host makes it on the first opening: the dialog's part, made from its
// address, in a pop-up that is open while the host is shown. Made by address itself, so neither the
// pop-up nor the part costs anything before the first frame.
Item {
    id: host

    required property url part
    property var partProperties: ({})
    // The window's dialogs, which know the page's control that had the keyboard last.
    property WindowDialogs dialogs: null
    // The part once it exists.
    readonly property var item: dialog.item

    DialogPopup {
        wanted: host.visible
        fallbackFocus: host.dialogs ? host.dialogs.pageFocus : null

        FirstUse {
            id: dialog

            wanted: host.visible
            document: host.part
            properties: host.partProperties
        }
    }
}
