import QtQuick
import Tavo.Kit

// The small caption above a field.
Text {
    color: Theme.textDim
    font.pixelSize: Theme.fontCaption
    font.weight: Font.DemiBold
    font.letterSpacing: 0.8
    font.capitalization: Font.AllUppercase
}
