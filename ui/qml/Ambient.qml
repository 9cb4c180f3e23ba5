// The slow glow and the five wisps. They move a few pixels a second, so a
// 10 Hz clock (within the limit of 20 redraws a second) looks the same and
// costs half; ticks that change no pixel redraw nothing.
import QtQuick

Item {
    id: ambient
    // The clock the wisps' formulas are defined on.
    property real t: theme.clock()

    Timer {
        interval: 100
        repeat: true
        running: theme.animate && ambient.visible
        onTriggered: ambient.t = theme.clock()
    }

    Image {
        objectName: "glow"
        // Made at half size and drawn stretched.
        source: theme.auraSource
        sourceSize: theme.auraSize
        width: 720
        height: 720
        x: ambient.width * 0.5 - 360
        y: ambient.height * 0.34 - 360
        opacity: Math.round((0.12 + 0.04 * Math.sin(0.8 * ambient.t)) * 255) / 255
    }

    Repeater {
        model: theme.wisps
        Wisp {
            offsetX: modelData.x
            offsetY: modelData.y
            driftX: modelData.driftX
            driftY: modelData.driftY
            seconds: modelData.seconds
            source: modelData.source
            alpha: modelData.alpha
            time: ambient.t
        }
    }
}
