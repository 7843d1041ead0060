import QtQuick
import Nimbra
import "../Fonts.js" as Fonts
import "WindowLogic.js" as WindowLogic

// One route of the route dialog: kind icon, name, type badge, detail line and the choice column.
// Full rows (by the route's load, or listed past the offered ones) are dimmed, marked 已满 and report
// no click or key; the rest is the controller's to decide.
Item {
    id: row

    required property routeItem route
    required property int index
    required property ThemeColors theme
    // Listed among the full ones by the dialog.
    property bool listedFull: false
    readonly property bool full: listedFull || route.full

    // A route listed as full can still be the chosen one (a remembered choice past the seventh row):
    // it is marked, so the dialog never hides the route in use.
    readonly property bool selected: route.selected
    readonly property var texts: WindowLogic.routeRowTexts(route, full, selected)
    readonly property color kindColor: route.kind === "native" ? theme.neon
                                       : route.kind === "shared" ? theme.primary
                                       : route.kind === "idc" ? "#a879ff"
                                       : route.kind === "isp" ? "#ffb14d" : "#49d8ff"
    // The figure the row shows (with the loss when probes were lost); a screen reader hears it with
    // the rest of the row.
    readonly property string latencyText: route.latencyText + (route.lossText ? " · " + route.lossText : "")

    // The route's record, as the session takes it back.
    signal activated(var record)
    // The arrow keys: -1 for the row above, 1 for the one below.
    signal stepRequested(int step)

    function choose() {
        if (!full)
            activated(route.record)
    }

    objectName: (listedFull ? "fullRow" : "routeRow") + index
    height: 68
    opacity: full ? 0.52 : 1
    activeFocusOnTab: true
    Accessible.role: Accessible.ListItem
    Accessible.name: WindowLogic.routeAccessibleName(route, texts, latencyText, full)
    Accessible.description: texts.detail + " · " + texts.choice
    Accessible.selected: selected
    Accessible.onPressAction: row.choose()
    Keys.onReturnPressed: row.choose()
    Keys.onEnterPressed: row.choose()
    Keys.onSpacePressed: row.choose()
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
            name: row.route.icon
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

                width: Math.min(implicitWidth, parent.width - (badge.visible ? badge.width + parent.spacing : 0)
                                               - latency.width - parent.spacing)
                textFormat: Text.PlainText
                text: row.route.name
                color: row.theme.ink
                elide: Text.ElideRight
                font.family: Fonts.ui()
                font.pixelSize: 14
                font.bold: true
            }

            Rectangle {
                id: badge

                visible: row.route.typeLabel !== ""
                anchors.verticalCenter: nameText.verticalCenter
                width: badgeText.implicitWidth + 14
                height: 18
                radius: 9
                color: Qt.alpha(row.kindColor, 0.14)

                Text {
                    id: badgeText

                    anchors.centerIn: parent
                    textFormat: Text.PlainText
                    text: row.route.typeLabel
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
                color: row.route.latencyText === "超时" || row.route.lossText ? Theme.text(row.theme.accent) : row.theme.ink2
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
        // Room for the labelled load ("在线 640/1000").
        width: 88
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
        cursorShape: row.full ? Qt.ArrowCursor : Qt.PointingHandCursor
        onClicked: row.choose()
    }
}
