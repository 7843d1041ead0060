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
    // What the route, log and sign-in dialogs show and report to.
    required property AccelerationSession session
    // The page's control that had the keyboard last: a dialog opened from another gives it back.
    property Item pageFocus: null
    // Each is made on its first opening; null until then.
    readonly property var signIn: authModal.item ? (authModal.item as DialogHost).item : null
    readonly property var route: routeDialog.item ? (routeDialog.item as DialogHost).item : null
    readonly property var log: logDialog.item ? (logDialog.item as DialogHost).item : null
    readonly property var switchGame: switchDialog.item ? (switchDialog.item as DialogHost).item : null
    // A game clicked while another one is accelerated waits for the player's answer.
    readonly property var switchTarget: session.switchTarget
    readonly property var game: session.choice.selectedGame
    readonly property bool switchOpen: switchTarget.id !== undefined
    // What the dialogs are made from, for loading in the background after the first frame.
    readonly property var laterDocuments: [Qt.resolvedUrl("DialogHost.qml"), Qt.resolvedUrl("RouteDialogPart.qml"),
                                           Qt.resolvedUrl("SignInPart.qml"), Qt.resolvedUrl("LogDialogPart.qml")]

    signal routeCloseRequested()
    signal logCloseRequested()
    signal signInCloseRequested()
    signal accountMenuCloseRequested()
    signal signOutRequested()
    // The route dialog's sign-in link: that dialog closes and the sign-in opens.
    signal signInRequested()

    // The page is what the dialogs' parent holds; the dialogs themselves are shown elsewhere.
    Connections {
        target: dialogs.Window.window

        function onActiveFocusItemChanged() {
            const item = dialogs.Window.activeFocusItem
            if (!item || !item.activeFocusOnTab)
                return
            for (let at = item.parent; at; at = at.parent) {
                if (at === dialogs.parent) {
                    dialogs.pageFocus = item
                    return
                }
            }
        }
    }

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
        // Inline components reach the ids around them; Qt 6.4's qmllint follows that only in bound
        // components, which FirstUse cannot make.
        // qmllint disable unqualified
        sourceComponent: AccountMenu {
            userName: dialogs.userName
            vipNum: dialogs.vipNum
            vipType: dialogs.vipType
            vipExpiryText: dialogs.vipExpiryText
            points: dialogs.points
            lightMode: dialogs.lightMode
            onSignOutRequested: dialogs.signOutRequested()
            onCloseRequested: dialogs.accountMenuCloseRequested()
        }
        // qmllint enable unqualified
    }

    // A click on the mask closes the route dialog when it falls outside it, else the sign-in or log
    // dialog; clicks on a dialog itself never reach it.
    Rectangle {
        anchors.fill: parent
        visible: dialogs.routeOpen || dialogs.logOpen || dialogs.signInOpen || dialogs.switchOpen
        color: Theme.scrim(dialogs.lightMode)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: wheel => wheel.accepted = true
            onClicked: {
                if (dialogs.switchOpen) {
                    dialogs.session.cancelSwitch()
                } else if (dialogs.routeOpen) {
                    dialogs.routeCloseRequested()
                } else {
                    dialogs.signInCloseRequested()
                    dialogs.logCloseRequested()
                }
            }
        }
    }

    // Each dialog in its pop-up, made with its part on its first opening.
    FirstUse {
        id: routeDialog

        anchors.fill: parent
        wanted: dialogs.routeOpen
        document: Qt.resolvedUrl("DialogHost.qml")
        properties: ({ part: Qt.resolvedUrl("RouteDialogPart.qml"), dialogs: dialogs,
                       partProperties: { session: dialogs.session, lightMode: dialogs.lightMode } })
    }

    FirstUse {
        id: logDialog

        anchors.fill: parent
        wanted: dialogs.logOpen
        document: Qt.resolvedUrl("DialogHost.qml")
        properties: ({ part: Qt.resolvedUrl("LogDialogPart.qml"),
                       partProperties: { session: dialogs.session, lightMode: dialogs.lightMode, area: dialogs },
                       dialogs: dialogs })
    }

    FirstUse {
        id: authModal

        anchors.fill: parent
        wanted: dialogs.signInOpen
        document: Qt.resolvedUrl("DialogHost.qml")
        properties: ({ part: Qt.resolvedUrl("SignInPart.qml"), dialogs: dialogs,
                       partProperties: { session: dialogs.session, lightMode: dialogs.lightMode } })
    }

    FirstUse {
        id: switchDialog

        anchors.fill: parent
        wanted: dialogs.switchOpen
        document: Qt.resolvedUrl("DialogHost.qml")
        properties: ({ part: Qt.resolvedUrl("SwitchGameDialog.qml"), dialogs: dialogs,
                       partProperties: { lightMode: dialogs.lightMode } })
    }

    // The dialogs are made with the light mode of their first opening and follow it from then on.
    Binding {
        target: dialogs.switchGame
        property: "lightMode"
        value: dialogs.lightMode
    }
    Binding {
        target: dialogs.switchGame
        property: "fromName"
        value: String(dialogs.game.name || "")
    }
    Binding {
        target: dialogs.switchGame
        property: "toName"
        value: String(dialogs.switchTarget.name || "")
    }
    Binding {
        target: dialogs.route
        property: "lightMode"
        value: dialogs.lightMode
    }
    Binding {
        target: dialogs.log
        property: "lightMode"
        value: dialogs.lightMode
    }
    Binding {
        target: dialogs.signIn
        property: "lightMode"
        value: dialogs.lightMode
    }

    Connections {
        target: dialogs.route

        function onCloseRequested() { dialogs.routeCloseRequested() }
        function onSignInRequested() { dialogs.signInRequested() }
    }
    Connections {
        target: dialogs.switchGame

        function onConfirmed() { dialogs.session.confirmSwitch() }
        function onCancelled() { dialogs.session.cancelSwitch() }
    }
    Connections {
        target: dialogs.log

        function onCloseRequested() { dialogs.logCloseRequested() }
    }
    Connections {
        target: dialogs.signIn

        function onClosed() { dialogs.signInCloseRequested() }
    }
}
