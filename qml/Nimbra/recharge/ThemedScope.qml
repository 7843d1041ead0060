import QtQuick

// The palette of the purchase page's panels and dialogs. A host passes its own colours one by one or
// all at once as themeSource (any object with these members, such as the page); parts inside get the
// document as their theme.
FocusScope {
    property var themeSource: null
    property bool lightMode: themeSource ? themeSource.lightMode : false
    property color ink: themeSource ? themeSource.ink : (lightMode ? "#182338" : "#e6eefa")
    property color ink2: themeSource ? themeSource.ink2 : (lightMode ? "#b2182338" : "#b3e6eefa")
    property color ink3: themeSource ? themeSource.ink3 : (lightMode ? "#75182338" : "#75e6eefa")
    property color ink4: themeSource ? themeSource.ink4 : (lightMode ? "#42182338" : "#42e6eefa")
    property color primary: themeSource ? themeSource.primary : (lightMode ? "#2f7bf2" : "#50aaff")
    property color accent: themeSource ? themeSource.accent : (lightMode ? "#ff7e4d" : "#ff8c50")
    property color neon: themeSource ? themeSource.neon : (lightMode ? "#00c97c" : "#3dffa8")
    property color cardFill: themeSource ? themeSource.cardFill : (lightMode ? "#52ffffff" : "#16ffffff")
    property color edge: themeSource ? themeSource.edge : (lightMode ? "#82ffffff" : "#48ffffff")
}
