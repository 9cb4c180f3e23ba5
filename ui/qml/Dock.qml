// The bottom bar: status, progress, speed chip, detail and the primary button.
import QtQuick
import Quellhaven.Model

Rectangle {
    id: dock
    property color statusColor
    property string actionIcon
    readonly property bool working: launcher.phase === LauncherPhase.Phase.working
    signal primaryPressed
    implicitHeight: Math.max(column.implicitHeight, primary.height) + 40
    color: theme.alpha(theme.surface, 0.86)

    Rectangle {
        width: parent.width
        height: 1
        color: theme.edge
    }

    // Sizes are whole pixels and items centred on whole pixels, as a layout
    // would place them.
    function centred(space, itemHeight) {
        return Math.round((space - Math.ceil(itemHeight)) / 2)
    }

    // Status, progress and detail, leading-aligned, 8 apart; the primary
    // button 22 to their right. Padding 26 on the sides and 20 above and below.
    Item {
        id: column
        x: 26
        y: 20 + dock.centred(dock.height - 40, implicitHeight)
        width: dock.width - 52 - 22 - primary.width
        implicitHeight: statusRow.height + 8 + progressRow.height + 8 + detailText.height
        height: implicitHeight

        Item {
            id: statusRow
            width: parent.width
            height: Math.max(8, Math.ceil(statusText.implicitHeight))
            Rectangle {
                objectName: "statusDot"
                y: dock.centred(statusRow.height, height)
                width: 8
                height: 8
                radius: 4
                color: dock.statusColor
            }
            Text {
                id: statusText
                objectName: "statusText"
                x: 16
                width: statusRow.width - 16
                height: Math.ceil(implicitHeight)
                text: launcher.status
                color: theme.text
                font.pixelSize: 13
                font.weight: Font.DemiBold
                elide: Text.ElideMiddle
                maximumLineCount: 1
            }
        }
        Item {
            id: progressRow
            y: statusRow.height + 8
            width: parent.width
            height: Math.max(8, speedChip.visible ? speedChip.height : 0)
            ProgressTrack {
                objectName: "progressTrack"
                y: dock.centred(progressRow.height, 8)
                width: progressRow.width - (speedChip.visible ? speedChip.width + 10 : 0)
                height: 8
                value: launcher.hasProgress ? launcher.progress : undefined
                busy: dock.working
            }
            PlainButton {
                id: speedChip
                objectName: "speedChip"
                visible: dock.working
                x: progressRow.width - width
                width: Math.ceil(implicitWidth)
                height: Math.ceil(implicitHeight)
                topPadding: 3
                bottomPadding: 3
                leftPadding: 8
                rightPadding: 8
                implicitWidth: Math.max(70, contentItem.implicitWidth + leftPadding + rightPadding)
                onClicked: launcher.cycleSpeedLimit()
                Loader {
                    anchors.fill: parent
                    active: speedChip.hovered
                    source: "HoverTip.qml"
                    onLoaded: item.text = "Limit download speed"
                }
                contentItem: Text {
                    text: launcher.speedLabel
                    color: theme.text
                    font.pointSize: theme.pointSize(10.5)
                    font.weight: Font.DemiBold
                    horizontalAlignment: Text.AlignHCenter
                }
                background: Rectangle {
                    radius: 6
                    color: theme.surfaceHi
                    border.color: theme.edge
                    border.width: 1
                }
            }
        }
        Text {
            id: detailText
            objectName: "detailText"
            y: progressRow.y + progressRow.height + 8
            width: parent.width
            height: Math.ceil(implicitHeight)
            text: theme.elideMiddle(launcher.detail === "" ? " " : launcher.detail, 11, width, 2)
            color: theme.textDim
            font.pixelSize: 11
            wrapMode: Text.Wrap
            maximumLineCount: 2
        }
    }

    PrimaryButtonStyle {
        id: primary
        objectName: "primaryButton"
        x: dock.width - 26 - width
        y: 20 + dock.centred(dock.height - 40, height)
        width: theme.primaryButtonSize.width
        height: theme.primaryButtonSize.height
        text: launcher.actionTitle
        iconName: dock.actionIcon
        enabled: !dock.working
        onClicked: dock.primaryPressed()
    }
}
