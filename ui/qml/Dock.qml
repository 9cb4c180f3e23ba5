// The bottom bar: status, progress, speed chip, detail and the primary button.
import QtQuick
import QtQuick.Layouts
import Quellhaven.Model

Rectangle {
    id: dock
    property color statusColor
    property string actionIcon
    readonly property bool working: launcher.phase === LauncherPhase.Phase.working
    signal primaryPressed
    implicitHeight: Math.max(column.implicitHeight, primary.implicitHeight) + 40
    color: theme.alpha(theme.surface, 0.86)

    Rectangle {
        width: parent.width
        height: 1
        color: theme.edge
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 26
        anchors.rightMargin: 26
        anchors.topMargin: 20
        anchors.bottomMargin: 20
        spacing: 22

        ColumnLayout {
            id: column
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 8

            RowLayout {
                spacing: 8
                Rectangle {
                    objectName: "statusDot"
                    width: 8
                    height: 8
                    radius: 4
                    color: dock.statusColor
                }
                Text {
                    objectName: "statusText"
                    Layout.fillWidth: true
                    text: launcher.status
                    color: theme.text
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                }
            }
            RowLayout {
                spacing: 10
                ProgressTrack {
                    objectName: "progressTrack"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 8
                    value: launcher.hasProgress ? launcher.progress : undefined
                    busy: dock.working
                }
                PlainButton {
                    id: speedChip
                    objectName: "speedChip"
                    visible: dock.working
                    topPadding: 3
                    bottomPadding: 3
                    leftPadding: 8
                    rightPadding: 8
                    implicitWidth: Math.max(70, contentItem.implicitWidth + leftPadding + rightPadding)
                    onClicked: launcher.runCommand("cycleSpeedLimit")
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
                Layout.fillWidth: true
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
            Layout.preferredWidth: 190
            Layout.preferredHeight: 58
            Layout.alignment: Qt.AlignVCenter
            text: launcher.actionTitle
            iconName: dock.actionIcon
            enabled: !dock.working
            onClicked: dock.primaryPressed()
        }
    }
}
