// A soft elliptical glow that breathes and drifts. `offsetX`/`offsetY` place
// its centre relative to the parent's centre. The squashed, rotated ellipse
// is drawn once (its `source`, from the theme); each tick only moves and
// fades it.
import QtQuick

Image {
    id: wisp
    property real offsetX
    property real offsetY
    property real driftX
    property real driftY
    property real seconds: 1
    property real alpha
    property real time

    readonly property real brightness: 0.45 * Math.sin(2 * Math.PI * (time / (seconds * 0.8)) / 6) + 0.55
    readonly property real driftedX: offsetX + Math.sin(2 * Math.PI * (time / seconds) / 6) * driftX
    readonly property real driftedY: offsetY + Math.sin(2 * Math.PI * (time / (seconds * 1.3)) / 6) * driftY

    // Whole pixels and 8-bit opacity steps: a tick that changes nothing
    // visible leaves the scene untouched, so nothing is redrawn.
    x: Math.round(parent.width / 2 + driftedX - implicitWidth / 2)
    y: Math.round(parent.height / 2 + driftedY - implicitHeight / 2)
    opacity: Math.round(brightness * alpha * 255) / 255
}
