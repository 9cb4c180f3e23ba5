// The folder panel of the install card: folders only, "Choose" to confirm.
import QtQuick.Dialogs

FolderDialog {
    title: "Choose where to install Quellhaven. If you already have the client folder, pick it and only changed files will download."
    acceptLabel: "Choose"
    onAccepted: launcher.chooseFolder(selectedFolder)
}
