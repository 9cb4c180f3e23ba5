// The large amber button: gradient body, light rim, a glow only while enabled,
// drawn at 55 % when disabled, pressed in to 96 %.
import QtQuick

PlainButton {
    id: control
    property string iconName
    implicitWidth: theme.primaryButtonSize.width
    implicitHeight: theme.primaryButtonSize.height
    opacity: enabled ? 1 : 0.55
    scale: down ? 0.96 : 1
    Behavior on scale {
        enabled: theme.animate
        NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
    }

    contentItem: Item {
        Row {
            anchors.centerIn: parent
            spacing: 8
            Icon {
                objectName: "actionIcon"
                name: control.iconName
                color: theme.onAccent
                width: 18
                height: 18
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                objectName: "actionTitle"
                text: control.text
                color: theme.onAccent
                font.pixelSize: 16
                font.weight: Font.ExtraBold // "heavy"
                font.letterSpacing: 2
                anchors.verticalCenter: parent.verticalCenter
            }
        }
    }

    background: Item {
        Image {
            objectName: "primaryGlow"
            x: -theme.buttonGlowPad
            y: -theme.buttonGlowPad
            source: theme.buttonGlowSource(Math.round(control.width), Math.round(control.height))
            opacity: control.enabled ? 0.45 : 0
        }
        Rectangle {
            anchors.fill: parent
            radius: 12
            border.color: theme.alpha(theme.accentHot, 0.8)
            border.width: 1
            gradient: Gradient {
                GradientStop { position: 0; color: theme.accentHot }
                GradientStop { position: 0.5; color: theme.accent }
                GradientStop { position: 1; color: theme.accentDeep }
            }
        }
    }
}
