import QtQuick
import Nimbra

// The route dialog as the window shows it: the window's routes and figures in, the choice out. Made
// from its address on the first opening, so the dialog's documents are not loaded at start.
RouteDialog {
    id: part

    required property var controller

    objectName: "routeDialog"
    width: 500
    height: 620
    routes: controller.session.routes
    loading: controller.routesLoading
    routeError: controller.routeError
    loggedIn: controller.loggedIn
    lightMode: controller.dawn
    ink: controller.ink
    ink2: controller.ink2
    ink3: controller.ink3
    ink4: controller.ink4
    primary: controller.primary
    accent: controller.accent
    neon: controller.neon
    edge: controller.edge
    onRouteChosen: route => part.controller.chooseNode(route)
    onRetryRequested: part.controller.requestRoutes("node-dialog-retry")
    onSignInRequested: {
        part.controller.nodeDialog = false
        part.controller.openLogin()
    }
    onCloseRequested: part.controller.nodeDialog = false
}
