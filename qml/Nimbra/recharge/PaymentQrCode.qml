import QtQuick
import Nimbra
import "../Fonts.js" as Fonts

// The payment QR code on white in both themes, so any phone reads it. Drawn unsmoothed: scaling
// blends the module edges, which makes the code harder to scan.
Rectangle {
    id: frame

    required property ThemedScope theme
    property string codeUrl: ""
    property string source: ""

    width: 206
    height: 206
    radius: 12
    color: "#ffffff"
    border.width: 1
    border.color: Qt.alpha(theme.ink, 0.08)

    Image {
        id: image

        objectName: "paymentQrImage"
        anchors.centerIn: parent
        width: 190
        height: 190
        source: frame.source
        smooth: false
        mipmap: false
        fillMode: Image.PreserveAspectFit
        Accessible.role: Accessible.Graphic
        Accessible.name: "微信支付二维码"
    }

    Column {
        visible: image.status !== Image.Ready
        anchors.centerIn: parent
        spacing: 6

        Text {
            objectName: "qrPlaceholder"
            anchors.horizontalCenter: parent.horizontalCenter
            textFormat: Text.PlainText
            text: frame.codeUrl !== "" ? "二维码生成失败" : "正在获取二维码"
            color: Theme.ink(true)
            font.family: Fonts.ui()
            font.pixelSize: 14
            font.bold: true
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            textFormat: Text.PlainText
            text: "请稍候"
            color: Theme.ink3(true)
            font.family: Fonts.ui()
            font.pixelSize: Theme.textSize(12)
        }
    }
}
