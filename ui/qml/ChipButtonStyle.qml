// A borderless button whose label lights up while pressed.
import QtQuick
import QtQuick.Controls

Button {
    readonly property color labelColor: down ? theme.accentHot : theme.textDim
    background: null
}
