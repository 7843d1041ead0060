import QtQuick
import Nimbra

// The route dialog as the window shows it: the session's routes and figures in, the choice out. Made
// from its address on the first opening, so the dialog's documents are not loaded at start.
RouteDialog {
    id: part

    required property AccelerationSession session

    objectName: "routeDialog"
    width: 500
    height: 620
    routes: session.routes
    loading: session.routeSource.routesLoading
    routeError: session.routeSource.routeError
    loggedIn: App.globalData.loggedIn
    onRouteChosen: route => part.session.routeSource.chooseNode(route)
    onRetryRequested: part.session.routeSource.requestRoutes("node-dialog-retry")
}
