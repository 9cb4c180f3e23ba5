// Everything behind the ambient layer: the gradient and, when it loads, the
// tunnel picture with its shade and vignette. It changes only with the
// window's size, so it is made as one opaque picture on another thread and
// the window only copies it. While the picture for a new size is being made,
// the last one stays, stretched over the window.
import QtQuick

Item {
    id: backdrop
    readonly property string wanted: width > 0 && height > 0
        ? theme.backdropSource(Math.round(width), Math.round(height)) : ""

    Image {
        id: shown
        objectName: "backdropPicture"
        anchors.fill: parent
        smooth: true
    }

    Image {
        id: next
        visible: false
        source: backdrop.wanted
        // The engine keeps the picture, so the shown copy is the same one.
        onStatusChanged: if (status === Image.Ready) shown.source = source
    }
}
