// A button built from a mouse area, so the window's first frame needs no
// controls library: `down` while pressed, `hovered` under the pointer,
// `clicked` on a release inside. `contentItem` sits within the paddings,
// `background` fills the button behind it; the size follows them.
import QtQuick

Item {
    id: control
    property string text
    property Item contentItem
    property Item background
    property real leftPadding: 0
    property real rightPadding: 0
    property real topPadding: 0
    property real bottomPadding: 0
    readonly property bool down: mouse.pressed
    readonly property bool hovered: mouse.containsMouse
    signal clicked

    implicitWidth: Math.max(background ? background.implicitWidth : 0,
                            (contentItem ? contentItem.implicitWidth : 0) + leftPadding + rightPadding)
    implicitHeight: Math.max(background ? background.implicitHeight : 0,
                             (contentItem ? contentItem.implicitHeight : 0) + topPadding + bottomPadding)

    function place() {
        if (background) {
            background.parent = control
            background.z = -1
            background.anchors.fill = control
        }
        if (contentItem) {
            contentItem.parent = control
            contentItem.x = Qt.binding(function () { return control.leftPadding })
            contentItem.y = Qt.binding(function () { return control.topPadding })
            contentItem.width = Qt.binding(function () {
                return control.width - control.leftPadding - control.rightPadding
            })
            contentItem.height = Qt.binding(function () {
                return control.height - control.topPadding - control.bottomPadding
            })
        }
    }
    // Placed once when made, and again only when a part is replaced later:
    // each placing makes four bindings.
    property bool placed: false
    onBackgroundChanged: if (placed) place()
    onContentItemChanged: if (placed) place()
    Component.onCompleted: {
        placed = true
        place()
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        onClicked: control.clicked()
    }
}
