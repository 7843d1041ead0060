pragma ComponentBehavior: Bound

import QtQuick

// Thin grips along the edges and corners of the frameless window that hand resizing to the system.
// The window's minimum size still holds; a maximised window has none.
Item {
    id: edges

    required property Window hostWindow
    readonly property int grip: 6

    Repeater {
        model: [
            { edges: Qt.LeftEdge, shape: Qt.SizeHorCursor },
            { edges: Qt.RightEdge, shape: Qt.SizeHorCursor },
            { edges: Qt.TopEdge, shape: Qt.SizeVerCursor },
            { edges: Qt.BottomEdge, shape: Qt.SizeVerCursor },
            { edges: Qt.LeftEdge | Qt.TopEdge, shape: Qt.SizeFDiagCursor },
            { edges: Qt.RightEdge | Qt.BottomEdge, shape: Qt.SizeFDiagCursor },
            { edges: Qt.RightEdge | Qt.TopEdge, shape: Qt.SizeBDiagCursor },
            { edges: Qt.LeftEdge | Qt.BottomEdge, shape: Qt.SizeBDiagCursor }
        ]

        delegate: MouseArea {
            required property var modelData
            readonly property bool atLeft: (modelData.edges & Qt.LeftEdge) !== 0
            readonly property bool atRight: (modelData.edges & Qt.RightEdge) !== 0
            readonly property bool atTop: (modelData.edges & Qt.TopEdge) !== 0
            readonly property bool atBottom: (modelData.edges & Qt.BottomEdge) !== 0
            // Corners are grabbed a little more generously than the sides.
            readonly property int corner: edges.grip * 2

            x: atRight ? edges.width - width : 0
            y: atBottom ? edges.height - height : 0
            width: atLeft || atRight ? (atTop || atBottom ? corner : edges.grip) : edges.width
            height: atTop || atBottom ? (atLeft || atRight ? corner : edges.grip) : edges.height
            cursorShape: modelData.shape
            onPressed: edges.hostWindow.startSystemResize(modelData.edges)
        }
    }
}
