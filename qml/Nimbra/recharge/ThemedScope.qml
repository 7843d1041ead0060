import QtQuick

// The palette of the purchase page's panels and dialogs; the page passes its own colours in. Parts
// inside get the document as their theme.
FocusScope {
    property bool lightMode: false
    property color ink: lightMode ? "#182338" : "#e6eefa"
    property color ink2: lightMode ? "#b2182338" : "#b3e6eefa"
    property color ink3: lightMode ? "#75182338" : "#75e6eefa"
    property color ink4: lightMode ? "#42182338" : "#42e6eefa"
    property color primary: lightMode ? "#2f7bf2" : "#50aaff"
    property color accent: lightMode ? "#ff7e4d" : "#ff8c50"
    property color neon: lightMode ? "#00c97c" : "#3dffa8"
    property color cardFill: lightMode ? "#52ffffff" : "#16ffffff"
    property color edge: lightMode ? "#82ffffff" : "#48ffffff"
}
