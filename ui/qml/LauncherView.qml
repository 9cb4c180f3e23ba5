// The whole window: backdrop, ambient glow, header, hero and dock, plus the
// alert and the folder panel. It reads `launcher` and calls its commands; it
// keeps no state of its own.
import QtQuick
import Quellhaven.Model

Item {
    id: root
    objectName: "launcherView"
    implicitWidth: theme.width
    implicitHeight: theme.height

    readonly property bool clientPresent: launcher.clientPresent
    readonly property string actionIcon: launcher.phase === LauncherPhase.Phase.working ? "arrow.triangle.2.circlepath"
        : launcher.phase === LauncherPhase.Phase.ready ? "play.fill"
        : clientPresent ? "arrow.clockwise" : "arrow.down.circle.fill"
    readonly property color statusColor: launcher.phase === LauncherPhase.Phase.working ? theme.accent
        : launcher.phase === LauncherPhase.Phase.ready ? theme.ok
        : clientPresent ? theme.bad : theme.textDim
    readonly property string greeting: clientPresent ? "W E L C O M E   B A C K"
        : "B E G I N   Y O U R   J O U R N E Y"

    function pressPrimary() {
        if (launcher.phase !== LauncherPhase.Phase.working
                && !(alertLoader.dialog && alertLoader.dialog.visible))
            launcher.primaryAction()
    }

    Component.onCompleted: if (launcher.hasAlert) alertLoader.active = true

    Backdrop {
        objectName: "backdrop"
        anchors.fill: parent
    }
    Ambient {
        objectName: "ambient"
        anchors.fill: parent
    }
    // macOS: a press on the background moves the window, as on its (hidden)
    // title bar; a control in front takes its own presses. Linux windows keep
    // their window manager's frame for that.
    MouseArea {
        objectName: "windowDrag"
        anchors.fill: parent
        enabled: Qt.platform.os === "osx" || Qt.platform.os === "macos"
        onPressed: root.Window.window.startSystemMove()
    }

    Column {
        anchors.fill: parent
        Header {
            id: header
            width: parent.width
        }
        Hero {
            objectName: "hero"
            width: parent.width
            height: parent.height - header.height - dock.height
            greeting: root.greeting
            showInstallCard: launcher.phase === LauncherPhase.Phase.needInstall && !root.clientPresent
            onChooseRequested: folderPanel.open()
            onReturnPressed: root.pressPrimary()
        }
        Dock {
            id: dock
            width: parent.width
            statusColor: root.statusColor
            actionIcon: root.actionIcon
            onPrimaryPressed: root.pressPrimary()
        }
    }

    // The default button: Return presses it from anywhere in the window.
    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: root.pressPrimary()
    }

    // The alert is made when the first one comes, off the start-up path.
    Loader {
        id: alertLoader
        active: false
        readonly property var dialog: item ? item.dialog : null
        onLoaded: if (launcher.hasAlert) dialog.open()
        source: "AlertDialog.qml"
    }

    Connections {
        target: launcher
        function onAlertChanged() {
            if (launcher.hasAlert)
                alertLoader.active = true
            const dialog = alertLoader.dialog
            if (!dialog)
                return
            if (launcher.hasAlert)
                dialog.open()
            else
                dialog.close()
        }
    }

    // The folder panel is made on first use: its module is costly to load
    // and most starts never need it.
    QtObject {
        id: folderPanel
        objectName: "folderPanel"
        property var dialog: null
        function open() {
            if (!dialog) {
                const component = Qt.createComponent("FolderPanel.qml")
                dialog = component.createObject(root)
                if (!dialog)
                    console.warn("folder panel: " + component.errorString())
            }
            dialog.open()
        }
    }
}
