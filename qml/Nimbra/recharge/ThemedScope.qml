import QtQuick
import Nimbra

// The purchase page's panels and dialogs: a focus scope with the colour tokens they use, following
// lightMode; parts inside get the document as their theme.
FocusScope {
    property bool lightMode: false
    property color ink: Theme.ink(lightMode)
    property color ink2: Theme.ink2(lightMode)
    property color ink3: Theme.ink3(lightMode)
    property color ink4: Theme.ink4(lightMode)
    property color primary: Theme.primary(lightMode)
    property color accent: Theme.accent(lightMode)
    property color neon: Theme.neon(lightMode)
    property color cardFill: Theme.cardFill(lightMode)
    property color edge: Theme.edge(lightMode)
}
