import QtQuick
import QtQuick.Controls
import Tavo.Kit

// Text fields as rounded inset boxes.
TextField {
    id: field
    implicitHeight: Theme.controlHeight
    leftPadding: Theme.s4
    rightPadding: Theme.s4
    color: Theme.text
    placeholderTextColor: Theme.textFaint
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    font.pixelSize: Theme.fontBody
    background: Rectangle {
        radius: Theme.radiusField
        color: Theme.inset
        border.width: 1
        border.color: field.activeFocus ? Theme.accent : Theme.stroke
    }
}
