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
    layer.enabled: visible && glyph.path !== ""
    layer.samples: 4
    layer.smooth: true

    Shape {
        width: 24
        height: 24
        visible: icon.glyph.path !== ""
        transform: Scale {
            xScale: icon.width / 24
            yScale: icon.height / 24
        }

        ShapePath {
            fillColor: icon.glyph.fill ? icon.color : "transparent"
            strokeColor: icon.glyph.fill ? "transparent" : icon.color
            strokeWidth: icon.glyph.fill ? -1 : icon.strokeWidth
            capStyle: ShapePath.RoundCap
            joinStyle: ShapePath.RoundJoin

            PathSvg {
                path: icon.glyph.path
            }
        }
    }
}
