import QtQuick
import QtQuick.Shapes
import Nimbra
import "IconPaths.js" as IconPaths

// A vector icon drawn on a 24 × 24 design grid and scaled to the item. On the GPU it is drawn into a
// multisampled layer of the item's size in device pixels, so its edges are smooth and sharp at any
// size and pixel ratio. The software renderer draws paths antialiased on its own and repaints every
// layer on every frame, so there the icon is drawn straight into the window.
Item {
    id: icon

    property string name: ""
    property color color: Theme.ink(false)
    property real strokeWidth: 1.7

    readonly property var glyph: IconPaths.glyph(name)

    implicitWidth: 24
    implicitHeight: 24

    readonly property bool layered: GraphicsInfo.api !== GraphicsInfo.Software

    // In a layer the paths are drawn opaque and the layer takes the colour's alpha: where strokes
    // cross, a see-through colour stays as light as elsewhere. Without one, the painter strokes a
    // path as one outline, so the colour's own alpha does the same.
    Item {
        anchors.fill: parent
        visible: icon.glyph.path !== ""
        opacity: icon.layered ? icon.color.a : 1
        layer.enabled: visible && icon.layered
        layer.samples: 4
        layer.smooth: true

        Shape {
            width: 24
            height: 24
            transform: Scale {
                xScale: icon.width / 24
                yScale: icon.height / 24
            }

            ShapePath {
                readonly property color ink: Qt.rgba(icon.color.r, icon.color.g, icon.color.b,
                                                     icon.layered ? 1 : icon.color.a)

                fillColor: icon.glyph.fill ? ink : "transparent"
                strokeColor: icon.glyph.fill ? "transparent" : ink
                strokeWidth: icon.glyph.fill ? -1 : icon.strokeWidth
                capStyle: ShapePath.RoundCap
                joinStyle: ShapePath.RoundJoin

                PathSvg {
                    path: icon.glyph.path
                }
            }
        }
    }
}
