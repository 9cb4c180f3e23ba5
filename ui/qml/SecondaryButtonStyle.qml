// The quiet button of the install card.
import QtQuick

PlainButton {
    id: control
    leftPadding: 14
    rightPadding: 14
    topPadding: 7
    bottomPadding: 7
    scale: down ? 0.96 : 1
    contentItem: Text {
        text: control.text
        color: theme.text
        font.pixelSize: 12
        font.weight: Font.DemiBold
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: 8
        color: theme.surfaceHi
        border.color: theme.edge
        border.width: 1
    }
}
