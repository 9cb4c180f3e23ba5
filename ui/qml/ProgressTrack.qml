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

    Item {
        id: shimmerClip
        objectName: "progressShimmer"
        anchors.fill: parent
        visible: !track.hasValue && track.busy
        clip: true
        // The clock the sweep phase is defined on.
        property real t: theme.clock()
        readonly property real p: (t % 1.4) / 1.4

        Timer {
            interval: 34 // at most 30 redraws a second
            repeat: true
            running: shimmerClip.visible && theme.animate
            onTriggered: shimmerClip.t = theme.clock()
        }

        Rectangle {
            width: track.width * 0.3
            height: track.height
            radius: height / 2
            x: (1.5 * shimmerClip.p - 0.4) * track.width
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: "transparent" }
                GradientStop { position: 0.5; color: theme.alpha(theme.accent, 0.8) }
                GradientStop { position: 1; color: "transparent" }
            }
        }
    }
}
