// The slow glow and the five wisps. They move a few pixels a second, so a
// 10 Hz clock (within the limit of 20 redraws a second) looks the same and
// costs half; ticks that change no pixel redraw nothing.
import QtQuick

Item {
    id: ambient
    // Seconds since 2001-01-01, the clock the wisps' formulas are defined on.
    property real t: Date.now() / 1000 - 978307200

    Timer {
        interval: 100
        repeat: true
        running: theme.animate && ambient.visible
        onTriggered: ambient.t = Date.now() / 1000 - 978307200
    }

    Image {
        objectName: "glow"
        source: "image://qh/radial/3abeaa/%1".arg(10 / 360)
        sourceSize: Qt.size(720, 720)
        x: ambient.width * 0.5 - 360
        y: ambient.height * 0.34 - 360
        opacity: Math.round((0.12 + 0.04 * Math.sin(0.8 * ambient.t)) * 255) / 255
    }

    Repeater {
        model: [
            [520, 130, -12, -30, -40, 70, 18, 21, theme.mist, 0.31],
            [640, 110, 8, 40, 30, -90, 14, 27, theme.aura, 0.27],
            [420, 150, -26, 130, -10, 60, 26, 24, theme.mist, 0.25],
            [560, 90, 18, -110, 70, 80, 12, 31, theme.aura, 0.23],
            [360, 120, -4, 10, 110, -60, 16, 19, theme.mist, 0.21]
        ]
        Wisp {
            wispWidth: modelData[0]
            wispHeight: modelData[1]
            angle: modelData[2]
            offsetX: modelData[3]
            offsetY: modelData[4]
            driftX: modelData[5]
            driftY: modelData[6]
            seconds: modelData[7]
            tint: modelData[8]
            alpha: modelData[9]
            time: ambient.t
        }
    }
}
