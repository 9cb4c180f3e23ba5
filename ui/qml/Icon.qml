// A symbol icon by its system name, drawn from the project's SVG in any colour.
import QtQuick
import QtQuick.Shapes

Item {
    id: icon
    property string name
    property color color: theme.text
    implicitWidth: 16
    implicitHeight: 16

    Repeater {
        model: theme.symbol(icon.name)
        Shape {
            anchors.fill: parent
            antialiasing: true
            ShapePath {
                scale: Qt.size(icon.width / 24, icon.height / 24)
                fillColor: modelData.fill ? icon.color : "transparent"
                strokeColor: modelData.fill ? "transparent" : icon.color
                strokeWidth: modelData.fill ? -1 : modelData.width
                capStyle: modelData.round ? ShapePath.RoundCap : ShapePath.FlatCap
                joinStyle: ShapePath.RoundJoin
                PathSvg { path: modelData.d }
            }
        }
    }
}
