// The launcher's one dialog: the model's alert with a single "OK". Made on
// first use, so the controls library loads only when an alert comes.
import QtQuick
import QtQuick.Controls

Item {
    readonly property alias dialog: alert
    Dialog {
        id: alert
        objectName: "alert"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        width: 380
        title: launcher.alertTitle
        standardButtons: Dialog.Ok
        closePolicy: Popup.CloseOnEscape
        palette.window: theme.surface
        palette.windowText: theme.text
        palette.text: theme.text
        palette.base: theme.inset
        palette.button: theme.surfaceHi
        palette.buttonText: theme.text
        palette.highlight: theme.accentDeep
        palette.highlightedText: theme.text
        palette.light: theme.edge
        palette.midlight: theme.edge
        palette.mid: theme.surfaceHi
        palette.dark: theme.bgBottom
        palette.shadow: theme.bgBottom
        background: Rectangle {
            color: theme.surface
            border.color: theme.edge
            border.width: 1
            radius: 10
        }
        Overlay.modal: Rectangle {
            color: theme.alpha(theme.bgBottom, 0.55)
        }
        onClosed: launcher.dismissAlert()
        Label {
            objectName: "alertBody"
            width: parent.width
            text: launcher.alertBody
            wrapMode: Text.Wrap
        }
    }
}
