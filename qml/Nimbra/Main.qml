import QtQuick
import QtQuick.Window
import QtQuick.Controls.Basic

Window {
    id: window

    readonly property int designWidth: 1360
    readonly property int designHeight: 836
    readonly property int designPageWidth: 1218
    readonly property int designPageHeight: 716
    readonly property string assetRoot: "qrc:/assets"
    readonly property bool expandedLayout: visibility === Window.Maximized || visibility === Window.FullScreen
    readonly property real fitScale: Math.min(width / designWidth, height / designHeight)

    property bool dawn: false
    property string tab: "home"
    property int tabIndex: 0

    readonly property color ink: dawn ? "#182338" : "#e6eefa"
    readonly property color ink2: dawn ? "#b2182338" : "#b3e6eefa"
    readonly property color ink3: dawn ? "#75182338" : "#75e6eefa"
    readonly property color ink4: dawn ? "#42182338" : "#42e6eefa"
    readonly property color primary: dawn ? "#2f7bf2" : "#50aaff"
    readonly property color accent: dawn ? "#ff7e4d" : "#ff8c50"
    readonly property color neon: dawn ? "#00c97c" : "#3dffa8"
    readonly property color cardFill: dawn ? "#52ffffff" : "#16ffffff"
    readonly property color edge: dawn ? "#82ffffff" : "#48ffffff"
    readonly property color darkBg: dawn ? "#e9eff7" : "#070c18"
    readonly property color panelBg: dawn ? "#cce9eff7" : "#d0070c18"
    readonly property color panelInner: dawn ? "#50ffffff" : "#10070c18"

    readonly property string uiFont: "Microsoft YaHei UI"
    readonly property string latinFont: "Segoe UI"

    width: designWidth
    height: designHeight
    minimumWidth: 1060
    minimumHeight: 680
    visible: true
    title: "Nimbra加速器"
    color: "transparent"
    flags: Qt.FramelessWindowHint | Qt.Window

    function toggleMaximized() {
        if (window.visibility === Window.Maximized)
            window.showNormal()
        else
            window.showMaximized()
    }

    // The scene is laid out at the design size and scaled to the window; while maximised it grows
    // to the screen's proportions instead of letter-boxing.
    Item {
        id: scene

        width: window.expandedLayout ? window.width / window.fitScale : window.designWidth
        height: window.expandedLayout ? window.height / window.fitScale : window.designHeight
        anchors.centerIn: parent
        scale: window.fitScale

        Rectangle {
            id: frame

            anchors.fill: parent
            radius: window.expandedLayout ? 0 : 14
            border.width: window.expandedLayout ? 0 : 1
            border.color: window.edge
            clip: true
            gradient: Gradient {
                GradientStop { position: 0.0; color: window.dawn ? "#e9eff7" : "#070c18" }
                GradientStop { position: 0.62; color: window.dawn ? "#e6edf7" : "#091326" }
                GradientStop { position: 1.0; color: window.dawn ? "#cfdcee" : "#02040a" }
            }

            Rectangle {
                width: 760
                height: 760
                radius: width / 2
                x: -220
                y: -300
                color: window.primary
                opacity: 0.07
            }

            Rectangle {
                width: 640
                height: 640
                radius: width / 2
                x: parent.width - 380
                y: parent.height - 360
                color: window.accent
                opacity: 0.06
            }

            Item {
                id: titleBar

                width: parent.width
                height: 46

                MouseArea {
                    anchors.fill: parent
                    anchors.rightMargin: 390
                    onPressed: window.startSystemMove()
                    onDoubleClicked: window.toggleMaximized()
                }

                Row {
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 10

                    Image {
                        width: 26
                        height: 26
                        anchors.verticalCenter: parent.verticalCenter
                        source: window.assetRoot + "/logo.png"
                        sourceSize: Qt.size(52, 52)
                        smooth: true
                    }

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Nimbra加速器"
                        color: window.ink
                        font.family: window.uiFont
                        font.pixelSize: 15
                        font.bold: true
                    }

                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: versionText.implicitWidth + 16
                        height: 20
                        radius: 10
                        color: window.panelInner
                        border.color: window.ink4

                        Text {
                            id: versionText

                            anchors.centerIn: parent
                            text: "Windows 版 · v3.2.1"
                            color: window.ink3
                            font.family: window.uiFont
                            font.pixelSize: 11
                        }
                    }
                }

                Row {
                    anchors.right: parent.right
                    height: parent.height

                    Repeater {
                        model: [
                            { name: "min", glyph: "\u2014" },
                            { name: "max", glyph: "\u2610" },
                            { name: "close", glyph: "\u2715" }
                        ]

                        delegate: Rectangle {
                            required property var modelData

                            width: 46
                            height: 46
                            color: {
                                if (modelData.name === "close")
                                    return buttonArea.pressed ? "#bd1020" : (buttonArea.containsMouse ? "#e81123" : "transparent")
                                return buttonArea.containsMouse ? window.panelInner : "transparent"
                            }

                            Text {
                                anchors.centerIn: parent
                                text: parent.modelData.glyph
                                color: window.ink2
                                font.family: window.latinFont
                                font.pixelSize: 13
                            }

                            MouseArea {
                                id: buttonArea

                                anchors.fill: parent
                                hoverEnabled: true
                                onClicked: {
                                    if (parent.modelData.name === "min")
                                        window.showMinimized()
                                    else if (parent.modelData.name === "max")
                                        window.toggleMaximized()
                                    else
                                        window.close()
                                }
                            }
                        }
                    }
                }
            }

            Item {
                id: statusBar

                anchors.bottom: parent.bottom
                width: parent.width
                height: 30

                Rectangle {
                    width: parent.width
                    height: 1
                    color: window.ink4
                    opacity: 0.5
                }

                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 18
                    anchors.verticalCenter: parent.verticalCenter
                    text: "未加速 · 双链路引擎待命"
                    color: window.ink3
                    font.family: window.uiFont
                    font.pixelSize: 12
                }
            }
        }
    }
}
