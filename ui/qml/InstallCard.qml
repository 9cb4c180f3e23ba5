// Where the client goes: the editable folder and the folder panel button.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: card
    signal chooseRequested
    signal returnPressed
    implicitWidth: 440
    implicitHeight: row.implicitHeight + 24
    radius: 12
    color: theme.alpha(theme.surface, 0.86)
    border.color: theme.edge
    border.width: 1

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10

        Icon {
            name: "folder"
            color: theme.accent
            Layout.preferredWidth: 17
            Layout.preferredHeight: 17
        }
        TextField {
            id: field
            objectName: "installField"
            Layout.fillWidth: true
            text: launcher.installPath
            placeholderText: "Install location"
            placeholderTextColor: theme.textFaint
            color: theme.text
            selectionColor: theme.accentDeep
            selectedTextColor: theme.text
            font.family: theme.monoFamily
            font.pixelSize: 12
            background: null
            leftPadding: 0
            rightPadding: 0
            onTextEdited: launcher.installPath = text
            onAccepted: card.returnPressed()
        }
        SecondaryButtonStyle {
            objectName: "chooseButton"
            text: "Choose..."
            onClicked: card.chooseRequested()
        }
    }
}
