import QtQuick
import Nimbra

// The run-log dialog as the window shows it, sized to the area it opens over. Made from its address
// on the first opening, so the dialog's documents are not loaded at start.
LogDialog {
    id: part

    required property var controller
    required property Item area

    width: Math.min(760, area.width - 72)
    height: Math.min(560, area.height - 90)
    log: controller.session.runLog
    running: App.singBoxManager.running
    history: controller.session.measurement.history
    lightMode: controller.dawn
    ink: controller.ink
    ink2: controller.ink2
    ink3: controller.ink3
    ink4: controller.ink4
    primary: controller.primary
    accent: controller.accent
    neon: controller.neon
    edge: controller.edge
    onCopyRequested: part.controller.copySingBoxLogs()
    onClearRequested: part.controller.clearSingBoxLogs()
    onCloseRequested: part.controller.logDialog = false
    onVisibleChanged: {
        if (visible)
            forceActiveFocus()
    }
}
