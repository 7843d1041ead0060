import QtQuick
import Nimbra

// The colour tokens a view reads, for one theme: a host makes one that follows its light mode and
// hands it to its views (`required property ThemeColors theme`). The values come from Theme; a host
// may still override a single token on its own object.
QtObject {
    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink2: Theme.ink2(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property color accent: Theme.accent(lightMode)
    property color neon: Theme.neon(lightMode)
    property color edge: Theme.edge(lightMode)
    property color fieldFill: Theme.fieldFill(lightMode)
}
