// The slow glow and the five wisps, on a clock of at most 20 redraws a second.
import QtQuick

Item {
    id: ambient
    // Seconds since 2001-01-01, the clock the wisps' formulas are defined on.
    property real t: Date.now() / 1000 - 978307200

    Timer {
        interval: 50
        repeat: true
        running: theme.animate && ambient.visible
        onTriggered: ambient.t = Date.now() / 1000 - 978307200
    }

    Image {
        objectName: "glow"
        source: "image://qh/radial/3abeaa/%1".arg(10 / 360)
        width: 720
        height: 720
        x: ambient.width * 0.5 - 360
        y: ambient.height * 0.34 - 360
        opacity: 0.12 + 0.04 * Math.sin(0.8 * ambient.t)
        smooth: true
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
