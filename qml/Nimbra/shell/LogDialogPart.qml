import QtQuick
import Nimbra

// The run-log dialog as the window shows it, sized to the area it opens over. Made from its address
// on the first opening, so the dialog's documents are not loaded at start.
LogDialog {
    id: part

    required property AccelerationSession session
    required property Item area

    width: Math.min(760, area.width - 72)
    height: Math.min(560, area.height - 90)
    log: session.runLog
    playerLog: session.playerLog
    running: session.controller.boosting
    history: session.measurement.history
    onCopyRequested: technical => part.session.copySingBoxLogs(technical)
    onClearRequested: part.session.clearSingBoxLogs()
    onVisibleChanged: {
        if (visible)
            forceActiveFocus()
    }
}
