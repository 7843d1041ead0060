import QtQuick

// The sign-in dialog's palette, handed to its views and fields as one object. Dark values by default.
QtObject {
    property bool lightMode: false
    property color ink: lightMode ? "#182338" : "#e6eefa"
    property color ink2: lightMode ? "#b2182338" : "#b3e6eefa"
    property color ink3: lightMode ? "#75182338" : "#75e6eefa"
    property color ink4: lightMode ? "#42182338" : "#42e6eefa"
    property color primary: lightMode ? "#2f7bf2" : "#50aaff"
    property color accent: lightMode ? "#ff7e4d" : "#ff8c50"
    property color fieldFill: lightMode ? "#28ffffff" : "#0de6eefa"
}
