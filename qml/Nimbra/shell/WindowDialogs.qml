import QtQuick
import Nimbra
import "WindowLogic.js" as WindowLogic

// The account menu and the modal dialogs over their dimming mask. The window says which is open and
// hears when one asks to close; each dialog is shown in a pop-up, which keeps Tab and Shift+Tab
// inside it and gives the keyboard back to the page when it closes.
Item {
    id: dialogs

    required property real statusBarTop
    property bool lightMode: false
    property bool routeOpen: false
    property bool logOpen: false
    property bool signInOpen: false
    property bool accountMenuOpen: false
    property Item accountMenuAnchor: null
    property string accountMenuSource: "title-account"
    property string userName: ""
    property int vipNum: 0
    property string vipType: ""
    property string vipExpiryText: ""
    property int points: 0
    // What the route, log and sign-in parts are made with.
    property var partProperties: ({})
    // Each is made on its first opening; null until then.
    readonly property var signIn: authModal.item
    // What the dialogs are made from, for loading in the background after the first frame.
    readonly property var laterDocuments: [routeDialog.document, authModal.document, logDialog.document]

    signal routeCloseRequested()
    signal logCloseRequested()
    signal signInCloseRequested()
    signal accountMenuCloseRequested()
    signal signOutRequested()

    // A click anywhere else closes the account menu and still reaches the control underneath.
    MouseArea {
        anchors.fill: parent
        visible: dialogs.accountMenuOpen
        onPressed: mouse => {
            dialogs.accountMenuCloseRequested()
            mouse.accepted = false
        }
    }

    FirstUse {
        id: accountMenu

        readonly property var position: {
            const anchorItem = dialogs.accountMenuAnchor
            if (!shown || !anchorItem)
                return { x: 8, y: 8 }
            const at = anchorItem.mapToItem(dialogs, 0, 0)
            return WindowLogic.accountMenuPosition(dialogs.accountMenuSource, at.x, at.y, anchorItem.width,
                                                   anchorItem.height, width, height, dialogs.width,
                                                   dialogs.statusBarTop)
        }

        x: position.x
        y: position.y
        wanted: dialogs.accountMenuOpen
        sourceComponent: AccountMenu {
            userName: dialogs.userName
            vipNum: dialogs.vipNum
            vipType: dialogs.vipType
            vipExpiryText: dialogs.vipExpiryText
            points: dialogs.points
            lightMode: dialogs.lightMode
            onSignOutRequested: dialogs.signOutRequested()
        }
    }

    // A click on the mask closes the route dialog when it falls outside it, else the sign-in or log
    // dialog; clicks on a dialog itself never reach it.
    Rectangle {
        anchors.fill: parent
        visible: dialogs.routeOpen || dialogs.logOpen || dialogs.signInOpen
        color: Theme.scrim(dialogs.lightMode)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
            onClicked: {
                if (dialogs.routeOpen) {
                    dialogs.routeCloseRequested()
                } else {
                    dialogs.signInCloseRequested()
                    dialogs.logCloseRequested()
                }
            }
        }
    }

    DialogPopup {
        wanted: dialogs.routeOpen

        FirstUse {
            id: routeDialog

            wanted: dialogs.routeOpen
            document: Qt.resolvedUrl("RouteDialogPart.qml")
            properties: dialogs.partProperties
        }
    }

    DialogPopup {
        wanted: dialogs.logOpen

        FirstUse {
            id: logDialog

            wanted: dialogs.logOpen
            document: Qt.resolvedUrl("LogDialogPart.qml")
            properties: Object.assign({ area: dialogs }, dialogs.partProperties)
        }
    }

    DialogPopup {
        wanted: dialogs.signInOpen

        FirstUse {
            id: authModal

            wanted: dialogs.signInOpen
            document: Qt.resolvedUrl("SignInPart.qml")
            properties: dialogs.partProperties
        }
    }
}
