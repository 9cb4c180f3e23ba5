// Where the client goes: the editable folder and the folder panel button.
import QtQuick

Rectangle {
    id: card
    signal chooseRequested
    signal returnPressed
    implicitWidth: 440
    implicitHeight: row.height + 24
    radius: 12
    color: theme.alpha(theme.surface, 0.86)
    border.color: theme.edge
    border.width: 1

    // Folder symbol, field and button, 10 apart, padded by 12; sizes are
    // whole pixels and items centred on whole pixels, as a layout would
    // place them.
    Item {
        id: row
        x: 12
        y: 12
        width: card.width - 24
        height: Math.max(folder.height, Math.ceil(field.implicitHeight), choose.height)

        function centred(itemHeight) {
            return Math.round((row.height - Math.ceil(itemHeight)) / 2)
        }

        Icon {
            id: folder
            y: row.centred(height)
            name: "folder"
            color: theme.accent
            width: 17
            height: 17
        }
        TextInput {
            id: field
            objectName: "installField"
            x: folder.width + 10
            y: row.centred(implicitHeight)
            width: choose.x - 10 - x
            height: Math.ceil(implicitHeight)
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
            id: choose
            objectName: "chooseButton"
            x: row.width - width
            y: row.centred(height)
            width: Math.ceil(implicitWidth)
            height: Math.ceil(implicitHeight)
            text: "Choose..."
            onClicked: card.chooseRequested()
        }
    }
}
