// A symbol icon by its system name, drawn from the project's SVG in any colour.
import QtQuick
import Quellhaven.Symbols

SymbolIcon {
    color: theme.text
    implicitWidth: 16
    implicitHeight: 16
}
