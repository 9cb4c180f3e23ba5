// A borderless button whose label lights up while pressed.
import QtQuick

PlainButton {
    readonly property color labelColor: down ? theme.accentHot : theme.textDim
}
