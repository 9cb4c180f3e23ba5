// The slim top row: product mark, community links and the Tools menu. Its
// leading padding leaves room for the window's own buttons on macOS.
import QtQuick
import QtQuick.Layouts

Item {
    id: header
    implicitHeight: 46

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 84
        anchors.rightMargin: 20
        anchors.topMargin: 14
        spacing: 10

        Text {
            objectName: "mark"
            text: "QUELLHAVEN"
            color: theme.textFaint
            font.pixelSize: 11
            font.weight: Font.DemiBold
            font.letterSpacing: 3
        }
        Item { Layout.fillWidth: true }
        LinkChip {
            objectName: "websiteChip"
            title: "Website"
            systemImage: "globe"
            onActivate: function () { Qt.openUrlExternally(theme.websiteURL) }
        }
        LinkChip {
            objectName: "discordChip"
            title: "Discord"
            systemImage: "bubble.left.and.bubble.right"
            onActivate: function () { Qt.openUrlExternally(theme.discordURL) }
        }
        PlainButton {
            id: toolsButton
            objectName: "toolsButton"
            leftPadding: 10
            rightPadding: 10
            topPadding: 5
            bottomPadding: 5
            onClicked: {
                toolsMenu.active = true
                const menu = toolsMenu.item
                menu.popup(toolsButton, toolsButton.width - menu.width, toolsButton.height + 4)
            }
            contentItem: Row {
                spacing: 5
                Icon {
                    name: "wrench.and.screwdriver"
                    color: theme.text
                    width: 14
                    height: 14
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    text: "Tools"
                    color: theme.text
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    anchors.verticalCenter: parent.verticalCenter
                }
            }
            background: Rectangle {
                radius: 8
                color: theme.surfaceHi
                border.color: theme.edge
                border.width: 1
            }
        }
    }

    // Made on first use, off the start-up path.
    Loader {
        id: toolsMenu
        active: false
        source: "ToolsMenu.qml"
    }
}
