// Everything behind the ambient layer. It changes only with the window's size,
// so it is rendered once into a layer and composited from there.
import QtQuick
import QtQuick.Shapes

Item {
    id: backdrop
    layer.enabled: true

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeColor: "transparent"
            // Corner to corner in the unit square stretched over the window:
            // the other two corners share the middle colour.
            fillGradient: LinearGradient {
                readonly property real k: 2 * backdrop.width * backdrop.height
                    / (backdrop.width * backdrop.width + backdrop.height * backdrop.height)
                x1: 0; y1: 0
                x2: k * backdrop.height; y2: k * backdrop.width
                GradientStop { position: 0; color: theme.bgTop }
                GradientStop { position: 1; color: theme.bgBottom }
            }
            PathPolyline {
                path: [Qt.point(0, 0), Qt.point(backdrop.width, 0), Qt.point(backdrop.width, backdrop.height),
                       Qt.point(0, backdrop.height), Qt.point(0, 0)]
            }
        }
    }

    Item {
        objectName: "tunnelLayers"
        anchors.fill: parent
        visible: tunnel.status === Image.Ready

        Image {
            id: tunnel
            objectName: "tunnel"
            anchors.fill: parent
            source: theme.tunnel
            // Decoded on Qt's loader thread while the window is built.
            asynchronous: true
            fillMode: Image.PreserveAspectCrop
            // Decoded no larger than it is drawn: the design size serves every
            // window up to it, so a start decodes the picture at that size once.
            sourceSize: backdrop.width <= theme.width && backdrop.height <= theme.height
                ? Qt.size(theme.width, theme.height) : undefined
            opacity: 0.34
            smooth: true
        }
        Rectangle {
            anchors.fill: parent
            gradient: Gradient {
                GradientStop { position: 0; color: theme.alpha(theme.bgTop, 0.6) }
                GradientStop { position: 0.42; color: theme.alpha(theme.bgTop, 0.16) }
                GradientStop { position: 0.78; color: theme.alpha(theme.bgBottom, 0.47) }
                GradientStop { position: 1; color: theme.alpha(theme.bgBottom, 0.92) }
            }
        }
        Shape {
            anchors.fill: parent
            ShapePath {
                strokeColor: "transparent"
                fillGradient: RadialGradient {
                    centerX: backdrop.width / 2; centerY: backdrop.height / 2
                    focalX: centerX; focalY: centerY
                    centerRadius: 760
                    GradientStop { position: 0; color: "transparent" }
                    GradientStop { position: 280 / 760; color: "transparent" }
                    GradientStop { position: 1; color: theme.alpha(theme.bgBottom, 0.78) }
                }
                PathPolyline {
                    path: [Qt.point(0, 0), Qt.point(backdrop.width, 0), Qt.point(backdrop.width, backdrop.height),
                           Qt.point(0, backdrop.height), Qt.point(0, 0)]
                }
            }
        }
    }
}
