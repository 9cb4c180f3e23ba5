// The slim top row: product mark, community links and the Tools menu. Its
// leading padding leaves room for the window's own buttons on macOS.
import QtQuick

Item {
    id: header
    implicitHeight: 46

    // The row lies 84 in from the leading side, 20 from the trailing side and
    // 14 from the top, items 10 apart, the space between the mark and the
    // links flexible. Sizes are whole pixels and items centred on whole
    // pixels, as a layout would place them.
    function rowY(itemHeight) {
        return 14 + Math.round((header.height - 14 - Math.ceil(itemHeight)) / 2)
    }

    Text {
        objectName: "mark"
        x: 84
        y: header.rowY(implicitHeight)
        text: "QUELLHAVEN"
        color: theme.textFaint
        font.pixelSize: 11
        font.weight: Font.DemiBold
        font.letterSpacing: 3
    }
    LinkChip {
        objectName: "websiteChip"
        width: Math.ceil(implicitWidth)
        x: discordChip.x - 10 - width
        y: header.rowY(implicitHeight)
        title: "Website"
        systemImage: "globe"
        onActivate: function () { Qt.openUrlExternally(theme.websiteURL) }
    }
    LinkChip {
        id: discordChip
        objectName: "discordChip"
        width: Math.ceil(implicitWidth)
        x: toolsButton.x - 10 - width
        y: header.rowY(implicitHeight)
        title: "Discord"
        systemImage: "bubble.left.and.bubble.right"
        onActivate: function () { Qt.openUrlExternally(theme.discordURL) }
    }
    PlainButton {
        id: toolsButton
        objectName: "toolsButton"
        width: Math.ceil(implicitWidth)
        x: header.width - 20 - width
        y: header.rowY(implicitHeight)
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

    // Made on first use, off the start-up path.
    Loader {
        id: toolsMenu
        active: false
        source: "ToolsMenu.qml"
    }
}
