pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import QtQuick.Controls.Basic
import "../shell"
import "../Fonts.js" as Fonts
import "GroupLogic.js" as GroupLogic
import "RechargeLogic.js" as RechargeLogic

// The leader's own teams with their codes and progress; a row can be picked and its code copied.
Item {
    id: section

    required property ThemedScope theme
    property var teams: []
    property string selectedTeamCode: ""

    signal copyRequested(string code)
    signal teamChosen(string code)

    Column {
        id: heading

        width: parent.width
        spacing: 6

        Text {
            textFormat: Text.PlainText
            text: "我的开团记录"
            color: section.theme.ink
            font.family: Fonts.ui()
            font.pixelSize: 16
            font.bold: true
        }

        Text {
            textFormat: Text.PlainText
            text: RechargeLogic.asList(section.teams).length > 0 ? "点击团队可查看团码与成团进度" : "暂无开团记录"
            color: section.theme.ink3
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }

    ListView {
        id: rows

        objectName: "leaderTeamList"
        anchors.top: heading.bottom
        anchors.topMargin: 12
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        spacing: 8
        boundsBehavior: Flickable.StopAtBounds
        model: RechargeLogic.asList(section.teams)
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: row

            required property var modelData

            readonly property string code: RechargeLogic.textOf(modelData.team_code)
            readonly property bool selected: code !== "" && code === section.selectedTeamCode

            objectName: "leaderTeam " + code
            width: rows.width
            height: 62
            radius: 12
            color: selected ? Qt.alpha(section.theme.primary, 0.12)
                            : (area.containsMouse ? Qt.alpha(section.theme.ink, 0.05) : "transparent")
            border.width: 1
            border.color: selected || activeFocus ? section.theme.primary : section.theme.ink4
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: nameText.text
            Accessible.onPressAction: section.teamChosen(code)
            Keys.onReturnPressed: section.teamChosen(code)
            Keys.onEnterPressed: section.teamChosen(code)

            MouseArea {
                id: area

                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: section.teamChosen(row.code)
            }

            Column {
                x: 16
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - x - side.width - 24
                spacing: 4

                Text {
                    id: nameText

                    width: parent.width
                    textFormat: Text.PlainText
                    text: RechargeLogic.textOf(RechargeLogic.member(row.modelData, "name")) || "团长团"
                    color: section.theme.ink
                    elide: Text.ElideRight
                    font.family: Fonts.ui()
                    font.pixelSize: 14
                    font.bold: true
                }

                Row {
                    spacing: 10

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        textFormat: Text.PlainText
                        text: "团码：" + (row.code || "—")
                        color: section.theme.ink2
                        font.family: Fonts.ui()
                        font.pixelSize: Theme.textSize(12)
                    }

                    DialogButton {
                        visible: row.code !== ""
                        height: 22
                        theme: ThemeColors { lightMode: section.theme.lightMode }
                        text: "复制"
                        accessibleName: "复制团码 " + row.code
                        onActivated: section.copyRequested(row.code)
                    }
                }
            }

            Column {
                id: side

                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                spacing: 4

                Text {
                    anchors.right: parent.right
                    textFormat: Text.PlainText
                    text: GroupLogic.teamCurrent(row.modelData) + "/" + GroupLogic.teamTarget(row.modelData) + " 人"
                    color: section.theme.ink
                    font.family: Fonts.latin()
                    font.pixelSize: 14
                    font.bold: true
                }

                Text {
                    anchors.right: parent.right
                    textFormat: Text.PlainText
                    text: GroupLogic.teamStatusText(row.modelData)
                    color: Theme.text(text === "组团中" ? section.theme.primary : (text === "已成团" ? section.theme.neon : section.theme.ink3))
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }
}
