import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "GameListLogic.js" as Logic

// One row of the common-games list: tile, name, vendor, category tag and the "热门" badge.
Item {
    id: row

    required property var modelData
    required property int index

    required property ThemeColors theme
    property string assetRoot: "qrc:/assets"
    property string selectedGameId: ""

    readonly property bool selected: selectedGameId !== "" && Logic.gameId(modelData) === selectedGameId
    readonly property string category: String(modelData.cat || "")

    signal activated(var game)

    implicitHeight: 62
    // The list is the Tab stop; its current row takes the keyboard.
    focus: ListView.isCurrentItem
    Accessible.role: Accessible.ListItem
    // Two entries of one game differ by their region, so a screen reader names it too.
    Accessible.name: Logic.accessibleGameName(modelData)
    Accessible.selected: selected
    Accessible.onPressAction: activated(modelData)
    Keys.onReturnPressed: activated(modelData)
    Keys.onEnterPressed: activated(modelData)
    Keys.onSpacePressed: activated(modelData)
    onActiveFocusChanged: {
        if (activeFocus && ListView.view)
            ListView.view.positionViewAtIndex(index, ListView.Contain)
    }

    Rectangle {
        objectName: "rowBackground"
        anchors.fill: parent
        anchors.topMargin: 3
        anchors.bottomMargin: 3
        radius: 12
        color: row.selected ? Qt.alpha(row.theme.primary, 0.14) : "transparent"
        border.width: hover.containsMouse || row.activeFocus ? 1 : 0
        border.color: row.activeFocus ? row.theme.primary : row.theme.ink4
    }

    Rectangle {
        objectName: "selectionBar"
        visible: row.selected
        x: 0
        anchors.verticalCenter: parent.verticalCenter
        width: 3
        height: 28
        radius: 1.5
        color: row.theme.primary
    }

    GameTile {
        id: tile

        x: 12
        anchors.verticalCenter: parent.verticalCenter
        label: String(row.modelData.en || "GAME")
        hue: Number(row.modelData.hue) || 0
        imageSource: Logic.imageSource(row.modelData, row.assetRoot, "icon")
    }

    Column {
        anchors.left: tile.right
        anchors.leftMargin: 12
        anchors.right: badges.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 3

        Text {
            objectName: "rowName"
            width: parent.width
            textFormat: Text.PlainText
            text: String(row.modelData.name || row.modelData.title || "")
            color: row.theme.ink
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: 14
            font.bold: true
        }

        Text {
            width: parent.width
            textFormat: Text.PlainText
            text: String(row.modelData.vendor || "")
            color: row.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Row {
        id: badges

        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6

        Rectangle {
            visible: row.category !== ""
            width: Logic.tagWidth(row.category)
            height: 20
            radius: 10
            color: "transparent"
            border.width: 1
            border.color: row.theme.ink4

            Text {
                anchors.centerIn: parent
                textFormat: Text.PlainText
                text: row.category
                color: row.theme.ink3
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
            }
        }

        Rectangle {
            visible: row.modelData.hot === true
            width: 38
            height: 20
            radius: 10
            color: Qt.alpha(row.theme.accent, 0.16)

            Text {
                anchors.centerIn: parent
                textFormat: Text.PlainText
                text: "热门"
                color: Theme.text(row.theme.accent)
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(11)
                font.bold: true
            }
        }
    }

    MouseArea {
        id: hover

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: row.activated(row.modelData)
    }

    // Inside: the list clips its rows.
    FocusRing {
        inset: 1
        cornerRadius: 13
        lightMode: row.theme.lightMode
    }
}
