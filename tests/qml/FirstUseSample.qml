import QtQuick

// What tst_firstuse makes on first use: a part that binds to the object it is made with.
Text {
    required property QtObject source

    text: source.objectName
}
