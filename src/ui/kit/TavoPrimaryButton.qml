import QtQuick
import QtQuick.Controls
import Tavo.Kit

// The filled, full-width call to action; dimmed when disabled.
Button {
    id: control
    implicitHeight: Theme.controlHeight
    font.pixelSize: Theme.fontBody
    font.weight: Font.DemiBold
    opacity: enabled ? 1 : 0.4
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    FocusRing { shown: control.visualFocus }
    contentItem: Text {
        text: control.text
        font: control.font
        color: Theme.accentText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        radius: Theme.radiusField
        color: control.down ? Qt.darker(Theme.accent, 1.15) : control.hovered ? Qt.lighter(Theme.accent, 1.06) : Theme.accent
    }
}
