// The progress bar: a fill for a known fraction, a sweeping shimmer while busy
// without one, the bare groove otherwise.
import QtQuick

Item {
    id: track
    // The fraction done, or undefined when there is none; NaN counts as 0.
    property var value
    property bool busy: false
    readonly property bool hasValue: value !== undefined && value !== null
    readonly property real fraction: {
        const v = Number(value);
        return hasValue && !isNaN(v) ? Math.max(0, Math.min(1, v)) : 0;
    }
    implicitHeight: 8

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: theme.inset
        border.color: theme.edge
        border.width: 1
    }

    Rectangle {
        id: fill
        objectName: "progressFill"
        visible: track.hasValue
        height: track.height
        radius: height / 2
        width: Math.max(8, track.width * track.fraction)
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: theme.accentDeep }
            GradientStop { position: 0.5; color: theme.accent }
            GradientStop { position: 1; color: theme.accentHot }
        }
        Behavior on width {
            enabled: theme.animate
            NumberAnimation { duration: 350; easing.type: Easing.OutQuad }
        }
    }

    // The shimmer is a capsule sweeping past both ends; only the part inside
    // the groove is drawn, and since two capsules of one height overlap in a
    // capsule, that part is a rounded band whose gradient continues the
    // sweep's own.
    Item {
        id: shimmerClip
        objectName: "progressShimmer"
        anchors.fill: parent
        visible: !track.hasValue && track.busy
        // The clock the sweep phase is defined on.
        property real t: theme.clock()
        readonly property real p: (t % 1.4) / 1.4
        readonly property real sweepX: (1.5 * p - 0.4) * track.width
        readonly property real sweepWidth: track.width * 0.3
        readonly property real bandStart: Math.max(0, sweepX)
        readonly property real bandEnd: Math.min(track.width, sweepX + sweepWidth)

        // The sweep's colour at `x`: clear at its ends, amber at 0.8 in its middle.
        function tint(x) {
            const u = sweepWidth > 0 ? (x - sweepX) / sweepWidth : 0;
            return theme.alpha(theme.accent, 0.8 * Math.max(0, 1 - Math.abs(2 * u - 1)));
        }

        Timer {
            interval: 34 // at most 30 redraws a second
            repeat: true
            running: shimmerClip.visible && theme.animate
            onTriggered: shimmerClip.t = theme.clock()
        }

        Rectangle {
            id: band
            readonly property real middle: Math.max(shimmerClip.bandStart, Math.min(shimmerClip.bandEnd,
                shimmerClip.sweepX + shimmerClip.sweepWidth / 2))
            visible: shimmerClip.bandEnd > shimmerClip.bandStart
            x: shimmerClip.bandStart
            width: Math.max(0, shimmerClip.bandEnd - shimmerClip.bandStart)
            height: track.height
            radius: Math.min(height, width) / 2
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: shimmerClip.tint(shimmerClip.bandStart) }
                GradientStop {
                    position: band.width > 0 ? (band.middle - shimmerClip.bandStart) / band.width : 0
                    color: shimmerClip.tint(band.middle)
                }
                GradientStop { position: 1; color: shimmerClip.tint(shimmerClip.bandEnd) }
            }
        }
    }
}
