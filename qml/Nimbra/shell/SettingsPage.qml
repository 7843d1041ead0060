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
                    text: "全站颜色、玻璃浓度与光效由同一组种子令牌驱动，切换即刻生效。"
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
                    model: [
                        { key: "smartRoute", title: "智能选路",
                          text: "根据实时丢包与抖动，自动在电信 / 联通 / 移动专线间切换最优线路。" },
                        { key: "reconnect", title: "断线自动重连",
                          text: "加速通道异常掉线时，5 秒内自动重建链路并恢复游戏会话。" },
                        { key: "autoStart", title: "开机自启动",
                          text: "登录 Windows 后静默启动到托盘，打开游戏前加速已就绪。" }
                    ]

                    delegate: Item {
                        id: preference

                        required property var modelData
                        required property int index

                        width: preferences.width
                        height: 72

                        Rectangle {
                            x: 22
                            width: parent.width - 44
                            height: 1
                            visible: preference.index > 0
                            color: Theme.ink4(page.dawn)
                            opacity: 0.5
                        }

                        Column {
                            x: 22
                            anchors.verticalCenter: parent.verticalCenter
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
                                text: preference.modelData.text
                                color: Theme.ink3(page.dawn)
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
                    text: WindowStart.systemName + " 版 v" + WindowStart.version + " · 检查更新"
                    color: Theme.ink3(page.dawn)
                    font.family: Fonts.ui()
                    font.pixelSize: Theme.textSize(12)
                }
            }
        }
    }
}
