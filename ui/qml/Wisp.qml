// A soft elliptical glow that breathes and drifts. `offsetX`/`offsetY` place
// its centre relative to the parent's centre.
import QtQuick

Image {
    id: wisp
    property real wispWidth
    property real wispHeight
    property real angle
    property real offsetX
    property real offsetY
    property real driftX
    property real driftY
    property real seconds: 1
    property color tint
    property real alpha
    property real time

    readonly property real brightness: 0.45 * Math.sin(2 * Math.PI * (time / (seconds * 0.8)) / 6) + 0.55
    readonly property real driftedX: offsetX + Math.sin(2 * Math.PI * (time / seconds) / 6) * driftX
    readonly property real driftedY: offsetY + Math.sin(2 * Math.PI * (time / (seconds * 1.3)) / 6) * driftY

    source: "image://qh/radial/%1/0".arg(tint.toString().substring(1))
    width: wispWidth
    height: wispWidth
    x: (parent.width - wispWidth) / 2 + driftedX
    y: (parent.height - wispWidth) / 2 + driftedY
    opacity: brightness * alpha
    smooth: true
    transform: [
        Scale { origin.x: wisp.wispWidth / 2; origin.y: wisp.wispWidth / 2; yScale: wisp.wispHeight / wisp.wispWidth },
        Rotation { origin.x: wisp.wispWidth / 2; origin.y: wisp.wispWidth / 2; angle: wisp.angle }
    ]
}
