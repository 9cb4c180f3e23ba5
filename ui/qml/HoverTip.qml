// A tool tip over its parent, made only while the pointer is there, so the
// controls library loads on first hover rather than at start.
import QtQuick
import QtQuick.Controls

Item {
    property alias text: tip.text
    ToolTip {
        id: tip
        visible: true
    }
}
