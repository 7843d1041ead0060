import QtQuick
import Nimbra

// The sign-in dialog as the window shows it, centred over the dimming mask, in one of its views:
// "login", "password" (the keyboard on the ticked "自动登录"), "register" (with a phone typed and the
// code countdown running) or "forgot".
Rectangle {
    id: scene

    property bool lightMode: false
    property string view: "login"

    width: 400 + 120
    height: modal.height + 120
    color: lightMode ? "#e9eff7" : "#070c18"

    Rectangle {
        anchors.fill: parent
        color: scene.lightMode ? "#52000000" : "#85000000"
    }

    AuthModal {
        id: modal

        anchors.centerIn: parent
        lightMode: scene.lightMode
        registerMode: scene.view === "register"
        forgotMode: scene.view === "forgot"
        Component.onCompleted: {
            setLoginMode(scene.view === "password")
            if (scene.view !== "register")
                return
            const form = findView("registerView")
            form.phoneText = "13800138000"
            form.startCodeCooldown()
        }

        function findView(name) {
            return Array.from(children).find(child => child.objectName === name)
        }
    }

    // After the dialog has put the keyboard in its first field.
    Timer {
        running: scene.view === "password"
        interval: 100
        onTriggered: scene.find(modal, "autoLoginBox").forceActiveFocus(Qt.TabFocusReason)
    }

    function find(item, name) {
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            const found = find(child, name)
            if (found)
                return found
        }
        return null
    }
}
