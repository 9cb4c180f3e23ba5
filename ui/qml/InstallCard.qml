// Where the client goes: the editable folder and the folder panel button.
import QtQuick
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
        TextInput {
            id: field
            objectName: "installField"
            Layout.fillWidth: true
            text: launcher.installPath
            color: theme.text
            selectionColor: theme.accentDeep
            selectedTextColor: theme.text
            selectByMouse: true
            clip: true
            font.family: theme.monoFamily
            font.pixelSize: 12
            onTextEdited: launcher.installPath = text
            onAccepted: card.returnPressed()
            Text {
                objectName: "installPlaceholder"
                anchors.fill: parent
                visible: field.text === ""
                text: "Install location"
                color: theme.textFaint
                font: field.font
            }
        }
        SecondaryButtonStyle {
            objectName: "chooseButton"
            text: "Choose..."
            onClicked: card.chooseRequested()
        }
    }
}
