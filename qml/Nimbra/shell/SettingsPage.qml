pragma ComponentBehavior: Bound

import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The settings page: the theme choice, the acceleration preferences and the about card.
Item {
    id: page

    required property bool dawn
    required property string assetRoot
    // The switches' states, keyed as the preferences are: smartRoute, reconnect, autoStart.
    required property bool smartRoute
    required property bool reconnect
    required property bool autoStart

    // Starting at login exists only where the client can write its entry (an XDG autostart file on
    // Linux, the Run key on Windows); elsewhere the row is left out rather than offered for nothing.
    readonly property string loginPlace: WindowStart.systemName === "Windows" ? "登录 Windows 后"
                                       : WindowStart.systemName === "Linux" ? "登录桌面后" : ""
    readonly property var preferenceRows: {
        const rows = [
            { key: "smartRoute", title: "智能选路",
              text: "开始加速前按实测延迟、丢包与抖动，从服务的线路中选出最优一条；加速中线路持续丢包时自动换线（每 2 分钟至多一次）。" },
            { key: "reconnect", title: "断线自动重连",
              text: "加速核心意外退出时 1 秒后自动重启，每分钟最多 3 次；已断开的游戏连接需在游戏内重连。" }
        ]
        if (loginPlace !== "")
            rows.push({ key: "autoStart", title: "开机自启动",
                        text: loginPlace + (WindowStart.trayAvailable ? "自动启动并隐藏到托盘，不会自动开始加速。"
                                                                      : "自动启动并打开主窗口，不会自动开始加速。") })
        return rows
    }

    signal dawnChosen(bool dawn)
    signal preferenceToggled(string key, bool on)

    component Heading: Text {
        textFormat: Text.PlainText
        color: Theme.ink(page.dawn)
        font.family: Fonts.ui()
        font.pixelSize: 16
        font.bold: true
    }

    Column {
        width: Math.min(parent.width, 860)
        spacing: 14

        Heading {
            text: "外观"
        }

        GlassCard {
            width: parent.width
            height: 112
            lightMode: page.dawn

            Column {
                x: 22
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 360
                spacing: 8

                Text {
                    textFormat: Text.PlainText
                    text: "外观模式"
                    color: Theme.ink(page.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: 14
                    font.bold: true
                }

                Text {
                    width: parent.width
                    textFormat: Text.PlainText
                    text: "夜航为深色界面，晨曦为浅色界面，切换即刻生效并保存。"
                    color: Theme.ink3(page.dawn)
                    wrapMode: Text.Wrap
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }

            Row {
                anchors.right: parent.right
                anchors.rightMargin: 22
                anchors.verticalCenter: parent.verticalCenter
                spacing: 12

                Repeater {
                    model: [
                        { label: "夜航", swatch: Theme.primary(false), dawn: false },
                        { label: "晨曦", swatch: Theme.primary(true), dawn: true }
                    ]

                    delegate: Rectangle {
                        id: choice

                        required property var modelData
                        readonly property bool selected: page.dawn === modelData.dawn

                        width: 140
                        height: 56
                        radius: 14
                        color: selected ? Qt.alpha(Theme.primary(page.dawn), 0.14) : Theme.panelInner(page.dawn)
                        border.width: selected || choiceArea.activeFocus ? 2 : 1
                        border.color: selected || choiceArea.activeFocus ? Theme.primary(page.dawn)
                                                                         : Theme.ink4(page.dawn)

                        Row {
                            anchors.centerIn: parent
                            spacing: 10

                            Rectangle {
                                anchors.verticalCenter: parent.verticalCenter
                                width: 22
                                height: 22
                                radius: 11
                                color: choice.modelData.swatch
                            }

                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                textFormat: Text.PlainText
                                text: choice.modelData.label
                                color: Theme.ink(page.dawn)
                                font.family: Fonts.ui()
                                font.pixelSize: 14
                                font.bold: choice.selected
                            }
                        }

                        ClickArea {
                            id: choiceArea

                            anchors.fill: parent
                            label: choice.modelData.label
                            lightMode: page.dawn
                            focusRadius: 17
                            role: Accessible.RadioButton
                            Accessible.checkable: true
                            Accessible.checked: choice.selected
                            onActivated: page.dawnChosen(choice.modelData.dawn)
                        }
                    }
                }
            }
        }

        Heading {
            text: "加速偏好"
        }

        GlassCard {
            width: parent.width
            height: preferences.height + 16
            lightMode: page.dawn

            Column {
                id: preferences

                y: 8
                width: parent.width

                Repeater {
                    model: page.preferenceRows

                    delegate: Item {
                        id: preference

                        required property var modelData
                        required property int index

                        width: preferences.width
                        height: Math.max(72, preferenceText.implicitHeight + 28)

                        Rectangle {
                            x: 22
                            width: parent.width - 44
                            height: 1
                            visible: preference.index > 0
                            color: Theme.ink4(page.dawn)
                            opacity: 0.5
                        }

                        Column {
                            id: preferenceText

                            x: 22
                            anchors.verticalCenter: parent.verticalCenter
                            width: preferenceSwitch.x - x - 24
                            spacing: 6

                            Text {
                                textFormat: Text.PlainText
                                text: preference.modelData.title
                                color: Theme.ink(page.dawn)
                                font.family: Fonts.ui()
                                font.pixelSize: 14
                                font.bold: true
                            }

                            Text {
                                textFormat: Text.PlainText
                                width: parent.width
                                text: preference.modelData.text
                                color: Theme.ink3(page.dawn)
                                wrapMode: Text.Wrap
                                font.family: Fonts.ui()
                                font.pixelSize: Theme.textSize(12)
                            }
                        }

                        ToggleSwitch {
                            id: preferenceSwitch

                            anchors.right: parent.right
                            anchors.rightMargin: 22
                            anchors.verticalCenter: parent.verticalCenter
                            label: preference.modelData.title
                            checked: page[preference.modelData.key] === true
                            lightMode: page.dawn
                            onToggled: page.preferenceToggled(preference.modelData.key, !preferenceSwitch.checked)
                        }
                    }
                }
            }
        }

        Heading {
            text: "关于"
        }

        GlassCard {
            width: parent.width
            height: 88
            lightMode: page.dawn

            Image {
                id: logo

                x: 22
                anchors.verticalCenter: parent.verticalCenter
                width: 44
                height: 44
                source: page.assetRoot + "/logo.png"
                sourceSize.width: 88
                sourceSize.height: 88
            }

            Column {
                anchors.left: logo.right
                anchors.leftMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6

                Text {
                    textFormat: Text.PlainText
                    text: "Nimbra加速器"
                    color: Theme.ink(page.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: 15
                    font.bold: true
                }

                Text {
                    textFormat: Text.PlainText
                    text: WindowStart.systemName + " 版 v" + WindowStart.version
                    color: Theme.ink3(page.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }
}
