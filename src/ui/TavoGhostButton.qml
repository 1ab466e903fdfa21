import QtQuick
import QtQuick.Controls
import Tavo

// The borderless secondary button; `danger` for destructive actions.
Button {
    id: control
    property bool danger: false
    property bool small: false
    implicitHeight: small ? 32 : 40
    leftPadding: small ? 9 : Theme.s4
    rightPadding: leftPadding
    font.pixelSize: small ? Theme.fontSmall : Theme.fontBody
    font.weight: Font.Medium
    opacity: enabled ? 1 : 0.4
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    FocusRing { shown: control.visualFocus }
    contentItem: Text {
        text: control.text
        font: control.font
        color: control.danger ? Theme.danger : (control.hovered ? Theme.text : Theme.textDim)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        radius: Theme.radiusField
        color: control.down ? Theme.surfaceHigh : control.hovered ? (control.danger ? Theme.dangerSoft : Theme.surfaceHigh) : "transparent"
    }
}
