// A header link: symbol and title, opening `action` when clicked.
import QtQuick

ChipButtonStyle {
    id: chip
    property string title
    property string systemImage
    // The chip's `action`; Button already owns a property of that name.
    property var onActivate: function () {}
    leftPadding: 10
    rightPadding: 10
    topPadding: 5
    bottomPadding: 5
    onClicked: onActivate()
    contentItem: Row {
        spacing: 5
        Icon {
            name: chip.systemImage
            color: chip.labelColor
            width: 14
            height: 14
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: chip.title
            color: chip.labelColor
            font.pixelSize: 12
            font.weight: Font.DemiBold
            anchors.verticalCenter: parent.verticalCenter
        }
    }
}
