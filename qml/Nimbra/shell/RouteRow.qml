import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "../SessionLogic.js" as Session
import "WindowLogic.js" as WindowLogic

// One route of the route dialog: kind icon, name, type badge, detail line and the choice column.
// Rows listed as full are dimmed and say so, but still report a click: the controller decides.
Item {
    id: row

    required property var modelData
    required property int index
    required property var theme
    property bool full: false
    property var selectedNode: ({})
    property var figures: ({})
    // This route's measured figure: its text and, when probes were lost, the loss.
    readonly property var figure: figures[Session.nodeStableKey(modelData)] || ({ text: "—" })

    // A route listed as full can still be the chosen one (a remembered choice past the seventh row):
    // it is marked, so the dialog never hides the route in use.
    readonly property bool selected: WindowLogic.isSelectedRoute(modelData, selectedNode)
    readonly property var texts: WindowLogic.routeRowTexts(modelData, full, selected)
    readonly property color kindColor: Session.nodeKindColor(modelData, theme.neon, theme.primary)
    // The figure the row shows; a screen reader hears it with the rest of the row.
    readonly property string latencyText: String(figure.text || "—") + (figure.lossText ? " · " + figure.lossText : "")

    signal activated(var route)
    // The arrow keys: -1 for the row above, 1 for the one below.
    signal stepRequested(int step)

    objectName: (full ? "fullRow" : "routeRow") + index
    height: 68
    opacity: full ? 0.52 : 1
    activeFocusOnTab: true
    Accessible.role: Accessible.ListItem
    Accessible.name: WindowLogic.routeAccessibleName(modelData, texts, latencyText, full)
    Accessible.description: texts.detail + " · " + texts.choice
    Accessible.selected: selected
    Accessible.onPressAction: activated(modelData)
    Keys.onReturnPressed: activated(modelData)
    Keys.onEnterPressed: activated(modelData)
    Keys.onSpacePressed: activated(modelData)
    Keys.onUpPressed: stepRequested(-1)
    Keys.onDownPressed: stepRequested(1)

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: 3
        anchors.bottomMargin: 3
        radius: 14
        color: row.selected ? Qt.alpha(row.theme.primary, 0.12)
                            : Qt.alpha(row.theme.ink, area.containsMouse ? 0.07 : 0.03)
        border.width: 1
        border.color: row.selected || row.activeFocus ? row.theme.primary : Qt.alpha(row.theme.ink, 0.08)
    }

    Rectangle {
        id: kindFrame

        x: 14
        anchors.verticalCenter: parent.verticalCenter
        width: 40
        height: 40
        radius: 12
        color: Qt.alpha(row.kindColor, 0.14)
        border.width: 1
        border.color: Qt.alpha(row.kindColor, 0.55)

        Icon {
            anchors.centerIn: parent
            width: 20
            height: 20
            name: Session.nodeKindIcon(row.modelData)
            color: row.kindColor
        }
    }

    Column {
        anchors.left: kindFrame.right
        anchors.leftMargin: 12
        anchors.right: choice.left
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        spacing: 5

        Row {
            width: parent.width
            spacing: 8

            Text {
                id: nameText

                width: Math.min(implicitWidth, parent.width - badge.width - latency.width - 2 * parent.spacing)
                textFormat: Text.PlainText
                text: String(row.modelData && row.modelData.name ? row.modelData.name : "")
                color: row.theme.ink
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 14
                font.bold: true
            }

            Rectangle {
                id: badge

                anchors.verticalCenter: nameText.verticalCenter
                width: badgeText.implicitWidth + 14
                height: 18
                radius: 9
                color: Qt.alpha(row.kindColor, 0.14)

                Text {
                    id: badgeText

                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: Session.nodeTypeLabel(row.modelData)
                    // The kind colours are bright; on the light surface the small text needs more weight.
                    color: Theme.text(row.theme.lightMode ? Qt.darker(row.kindColor, 1.45) : row.kindColor)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(11)
                }
            }

            Text {
                id: latency

                objectName: "routeLatency"
                anchors.verticalCenter: nameText.verticalCenter
                textFormat: Text.PlainText
                text: row.latencyText
                color: row.figure.text === "超时" || row.figure.lossText ? Theme.text(row.theme.accent) : row.theme.ink2
                font.family: Fonts.ui()
                font.pixelSize: Theme.textSize(12)
            }
        }

        Text {
            objectName: "routeDetail"
            width: parent.width
            textFormat: Text.PlainText
            text: row.texts.detail
            color: row.theme.ink3
            elide: Text.ElideRight
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    Column {
        id: choice

        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        width: 64
        spacing: 4

        Text {
            objectName: "routeChoice"
            width: parent.width
            horizontalAlignment: Text.AlignRight
            textFormat: Text.PlainText
            text: row.texts.choice
            color: Theme.text(row.full ? row.theme.ink3 : (row.selected ? row.theme.primary : row.theme.ink2))
            font.family: Fonts.ui()
            font.pixelSize: 13
            font.bold: row.selected && !row.full
        }

        Text {
            objectName: "routeLoad"
            width: parent.width
            horizontalAlignment: Text.AlignRight
            textFormat: Text.PlainText
            text: row.texts.load
            color: row.theme.ink3
            font.family: Fonts.latin()
            font.pixelSize: Theme.textSize(11)
        }
    }

    FocusRing {
        inset: 1
        cornerRadius: 15
        lightMode: row.theme.lightMode
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: row.activated(row.modelData)
    }
}
