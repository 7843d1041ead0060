import QtQuick
import QtQuick.Controls.Basic

Window {
    width: 1360
    height: 836
    visible: true
    title: "Nimbra start-up floor"

    Column {
        anchors.centerIn: parent
        spacing: 12

        Label {
            text: "Nimbra start-up floor"
        }

        Button {
            text: "OK"
        }
    }
}
