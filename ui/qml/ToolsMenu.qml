// The maintenance commands. No item is ever disabled: each command guards
// itself in the model.
import QtQuick
import QtQuick.Controls

Menu {
    id: menu
    objectName: "toolsMenu"
    // Menu texts are shown as written: "&" is a character, not a mnemonic.
    component ToolItem: MenuItem {
        id: item
        contentItem: Text {
            text: item.text
            textFormat: Text.PlainText
            color: item.highlighted ? theme.text : theme.textDim
            font.pixelSize: 13
            verticalAlignment: Text.AlignVCenter
            leftPadding: 4
            rightPadding: 12
        }
        background: Rectangle {
            color: item.highlighted ? theme.surfaceHi : "transparent"
            radius: 5
        }
    }
    component ToolSeparator: MenuSeparator {
        topPadding: 4
        bottomPadding: 4
        contentItem: Rectangle {
            implicitHeight: 1
            color: theme.edge
        }
    }

    background: Rectangle {
        implicitWidth: 260
        color: theme.surface
        border.color: theme.edge
        border.width: 1
        radius: 8
    }

    ToolItem { text: "Verify & repair files"; onTriggered: launcher.verifyRepair() }
    ToolItem { text: "Clear update cache"; onTriggered: launcher.clearUpdateCache() }
    ToolItem { text: "Reset video settings (windowed)"; onTriggered: launcher.resetVideoSettings() }
    ToolItem { objectName: "speedItem"; text: "Download speed: " + launcher.speedLabel; onTriggered: launcher.cycleSpeedLimit() }
    ToolSeparator {}
    ToolItem { text: "Open game folder"; onTriggered: launcher.openGameFolder() }
    ToolItem { text: "Open logs"; onTriggered: launcher.openLogs() }
    ToolSeparator {}
    ToolItem { text: "Play with diagnostics log"; onTriggered: launcher.playWithDiagnostics() }
    ToolItem { text: "Force-quit the game"; onTriggered: launcher.forceQuitGame() }
    ToolItem { text: "Reset compatibility layer"; onTriggered: launcher.resetCompatibilityLayer() }
    ToolSeparator {}
    ToolItem { objectName: "diagnosticsItem"; text: "Save diagnostics..."; onTriggered: launcher.saveDiagnostics() }
}
