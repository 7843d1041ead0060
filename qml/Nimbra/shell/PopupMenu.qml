pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// A small opaque menu of rows, each a title and a detail on the right; the current row is marked.
GlassCard {
    id: menu

    property string accessibleName: ""
    property var rows: []
    property string current: ""

    signal chosen(var row)

    darkSurface: Theme.popupSurface(false)
    lightSurface: Theme.popupSurface(true)
    radius: 14
    Accessible.role: Accessible.PopupMenu
    Accessible.name: accessibleName

    // Keyboard users land in the menu when it opens and go back where they were when it closes.
    MenuFocus {
        menu: menu

        onOpened: {
            const first = list.itemAtIndex(0)
            if (first)
                first.focusRow()
        }
    }

    ListView {
        id: list

        anchors.fill: parent
        anchors.margins: 6
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: menu.rows

        delegate: Rectangle {
            id: row

            required property var modelData
            readonly property bool selected: String(modelData.title) === menu.current

            width: ListView.view.width
            height: 33
            radius: 9
            color: rowArea.containsMouse || rowArea.activeFocus ? Qt.alpha(Theme.primary(menu.lightMode), 0.16)
                                                               : (selected ? Qt.alpha(Theme.primary(menu.lightMode), 0.08)
                                                                           : "transparent")

            function focusRow() {
                rowArea.forceActiveFocus()
            }

            Text {
                x: 12
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - detailText.implicitWidth - 32
                textFormat: Text.PlainText
                text: row.modelData.title
                color: Theme.text(row.selected ? Theme.primary(menu.lightMode) : Theme.ink(menu.lightMode))
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 13
                font.bold: row.selected
            }

            Text {
                id: detailText

                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                textFormat: Text.PlainText
                text: row.modelData.detail
                color: Theme.ink3(menu.lightMode)
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }

            ClickArea {
                id: rowArea

                anchors.fill: parent
                label: row.modelData.title
                focusInset: 1
                focusRadius: 8
                role: Accessible.MenuItem
                onActivated: menu.chosen(row.modelData)
            }
        }
    }
}
