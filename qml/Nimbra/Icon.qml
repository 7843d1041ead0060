import QtQuick
import QtQuick.Shapes
import Nimbra
import "IconPaths.js" as IconPaths

// A vector icon drawn on a 24 × 24 design grid and scaled to the item. It is drawn into a
// multisampled layer of the item's size in device pixels, so its edges are smooth and sharp at any
// size and pixel ratio.
Item {
    id: icon

    property string name: ""
    property color color: Theme.ink(false)
    property real strokeWidth: 1.7

    readonly property var glyph: IconPaths.glyph(name)

    implicitWidth: 24
    implicitHeight: 24

    // The paths are drawn opaque and the layer takes the colour's alpha: where strokes cross, a
    // see-through colour stays as light as elsewhere.
    Item {
        anchors.fill: parent
        visible: icon.glyph.path !== ""
        opacity: icon.color.a
        layer.enabled: visible
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
                readonly property color ink: Qt.rgba(icon.color.r, icon.color.g, icon.color.b, 1)

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
