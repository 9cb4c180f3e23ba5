// The centre: logo, greeting, title, client version and, before the first
// install, the install card. Scaled to the space it gets, at most 1.5 times.
import QtQuick

Item {
    id: area
    property string greeting
    property bool showInstallCard
    signal chooseRequested
    signal returnPressed

    // Kept once made: the card must outlive the Return press that hides it.
    onShowInstallCardChanged: if (showInstallCard) cardLoader.active = true
    Component.onCompleted: if (showInstallCard) cardLoader.active = true

    // Logo and column side by side, 44 apart, each centred vertically on a
    // whole pixel; the column's size rounded up to whole pixels, as a layout
    // would.
    Item {
        id: content
        objectName: "heroContent"
        anchors.centerIn: parent
        width: (logo.visible ? logo.width + 44 : 0) + Math.ceil(column.implicitWidth)
        height: Math.max(logo.visible ? logo.height : 0, Math.ceil(column.implicitHeight))
        scale: Math.min(area.width / 760, area.height / 330, 1.5)

        Item {
            id: logo
            objectName: "logo"
            visible: logoImage.status === Image.Ready
            y: Math.round((content.height - height) / 2)
            width: 210
            height: 210
            Image {
                x: -theme.logoGlowPad
                y: -theme.logoGlowPad
                source: theme.logoGlowSource
                opacity: 0.45
            }
            Image {
                id: logoImage
                anchors.fill: parent
                // Through the provider, which decodes the file once for
                // the logo and its glow.
                source: theme.logoSource
                sourceSize: theme.logoSize
                smooth: true
                mipmap: true
            }
        }

        Column {
            id: column
            x: logo.visible ? logo.width + 44 : 0
            y: Math.round((content.height - Math.ceil(implicitHeight)) / 2)
            spacing: 12

            Text {
                objectName: "greeting"
                text: area.greeting
                color: theme.accent
                font.pixelSize: 11
                font.weight: Font.DemiBold
            }
            Text {
                objectName: "title"
                text: "Quellhaven"
                color: theme.text
                font.family: "Palatino"
                font.pixelSize: 44
                font.bold: true
            }
            Rectangle {
                objectName: "versionChip"
                visible: launcher.gameVersion !== ""
                width: versionText.implicitWidth + 20
                height: versionText.implicitHeight + 8
                radius: height / 2
                color: theme.surfaceHi
                border.color: theme.edge
                border.width: 1
                Text {
                    id: versionText
                    objectName: "versionText"
                    anchors.centerIn: parent
                    text: "Client " + launcher.gameVersion
                    color: theme.textDim
                    font.pixelSize: 11
                    font.weight: Font.Medium
                }
            }
            // Made the first time it shows: no start shows it in its first
            // frame, and once there is a client none needs it.
            Item {
                visible: area.showInstallCard
                width: cardLoader.width
                height: cardLoader.height + 8
                Loader {
                    id: cardLoader
                    y: 8
                    active: false
                    sourceComponent: InstallCard {
                        objectName: "installCard"
                        width: implicitWidth
                        onChooseRequested: area.chooseRequested()
                        onReturnPressed: area.returnPressed()
                    }
                }
            }
        }
    }
}
